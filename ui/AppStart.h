#pragma once

class QApplication;

// What the program sets up before its first window.
namespace AppStart {

// The application's names, and Qt's own texts (the standard buttons of boxes and prompts) in
// Chinese like every other text.
void Prepare(QApplication &app);

} // namespace AppStart
