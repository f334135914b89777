#pragma once

class QApplication;
class QIcon;

namespace pakscope {

// Names the application for settings and loads Qt's own Russian texts, so the
// standard dialogs and buttons speak the language of the rest of the program.
// Gives every window the program's own icon. Shared by the program and the
// screenshot program, which must look the same.
void SetUpApplication(QApplication& app);

// The program's icon in all its sizes, built into the program.
QIcon ApplicationIcon();

}  // namespace pakscope
