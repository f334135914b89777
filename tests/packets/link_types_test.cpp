#include "packets/link_types.h"

#include <gtest/gtest.h>

#include <string>

namespace pakscope {
namespace {

// Every entry of the chooser, as the published link-type list numbers it.
TEST(LinkTypes, EveryNameIsFoundAtItsPositionWithItsNumber) {
  struct Entry {
    const char* name;
    uint32_t number;
  };
  const Entry entries[] = {
      {"NULL", 0},
      {"ETHERNET", 1},
      {"RAW_IP", 101},
      {"CISCO_HDLC", 104},
      {"FRAME_RELAY", 107},
      {"MTP2", 140},
      {"MTP3", 141},
      {"SCCP", 142},
      {"USER0", 147},
      {"USER1", 148},
      {"USER2", 149},
      {"USER3", 150},
      {"USER4", 151},
      {"USER5", 152},
      {"USER6", 153},
      {"USER7", 154},
      {"USER8", 155},
      {"USER9", 156},
      {"USER10", 157},
      {"USER11", 158},
      {"USER12", 159},
      {"USER13", 160},
      {"USER16", 161},
      {"USER15", 162},
      {"GPRS_LLC", 169},
      {"LAPD", 203},
      {"IPv4", 228},
      {"IPv6", 229},
      {"SLIP", 8},
      {"PPP", 9},
      {"PPP_SERIAL", 50},
      {"PPPoE", 51},
      {"PPPD", 166},
      {"FDDI", 10},
      {"TOKEN_RING", 6},
      {"ARCNET_BSD", 7},
      {"ATM_RFC1483", 100},
      {"LOOPBACK", 108},
      {"APPLETALK", 114},
      {"BSD_PFLOG", 117},
      {"PRISM", 119},
      {"IP_OVER_FC", 122},
      {"SUNATM", 123},
      {"IEEE802_11", 105},
      {"IEEE802_11_RADIO", 127},
      {"IEEE802_11_RADIO_AVS", 163},
      {"IEEE802_15_4", 195},
      {"IEEE802_15_4_NOMASK_PHY", 215},
      {"IEEE802_15_4_NOFCS", 230},
      {"BLUETOOTH_HCI_H4", 187},
      {"BLUETOOTH_HCI_H4_WITH_PHDR", 201},
      {"MTP2_WITH_PHDR", 139},
      {"APPLE_IP_OVER_IEEE1394", 138},
      {"PPI", 192},
      {"SITA", 196},
      {"ERF", 197},
      {"AX25_KISS", 202},
      {"FC_2", 224},
      {"FC_2_WITH_FRAME_DELIMS", 225},
      {"IPNET", 226},
      {"CAN_SOCKETCAN", 227},
      {"DBUS", 231},
      {"DVB_CI", 235},
      {"3GPP_TS_27.010", 236},
      {"STANAG_5066_D_PDU", 237},
      {"LINUX_SSL", 113},
      {"ARCNET_LINUX", 129},
      {"LINUX_IRDA", 144},
      {"LINUX_LAPD", 177},
      {"LINUX_IPMB", 209},
      {"USB_LINUX", 189},
      {"USB_LINUX_MMAPPED", 220},
      {"PPP_WITH_DIR", 204},
      {"C_HDLC_WITH_DIR", 205},
      {"FRAME_RELAY_WITH_DIR", 206},
      {"DOCSIS", 143},
  };
  ASSERT_EQ(std::size(entries), kLinkTypeCount);
  for (size_t i = 0; i < kLinkTypeCount; ++i) {
    SCOPED_TRACE(entries[i].name);
    EXPECT_EQ(kLinkTypes[i].caption, entries[i].name);
    EXPECT_EQ(LinkTypePosition(entries[i].name), static_cast<int>(i));
    EXPECT_EQ(LinkTypeNumber(static_cast<int>(i)), entries[i].number);
  }
}

}  // namespace
}  // namespace pakscope
