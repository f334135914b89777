#pragma once

class QApplication;

namespace pakscope {

// Names the application for settings and loads Qt's own Russian texts, so the
// standard dialogs and buttons speak the language of the rest of the program.
// Shared by the program and the screenshot program, which must look the same.
void SetUpApplication(QApplication& app);

}  // namespace pakscope
