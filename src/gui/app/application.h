#pragma once

#include <optional>

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

// Answers --help and --version without a window: the exit status when the
// program is to end now, nothing when it is to open its window. The
// arguments after "--" are file names.
std::optional<int> AnswerWithoutWindow(int argc, char** argv);

// Before QApplication: the window system cannot be reached (no display, or a
// platform that fails to start) is said in Russian and ends the program with
// status 1, instead of Qt's abort. StopWatchingForDisplay once the
// application is up.
void ExitWhenNoDisplay();
void StopWatchingForDisplay();

}  // namespace pakscope
