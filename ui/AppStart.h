#pragma once

#include <thread>

class QApplication;

// What the program sets up before its first window.
namespace AppStart {

// The application's names, and Qt's own texts (the standard buttons of boxes and prompts) in
// Chinese like every other text.
void Prepare(QApplication &app);

// Loads the font configuration on a thread of its own, started before QApplication so that it
// runs while the application connects to the display; the first text the window measures
// would otherwise wait for it. Wait() before building the window (and at the latest on
// destruction).
class TFontWarmUp {
public:
    TFontWarmUp();
    ~TFontWarmUp() { Wait(); }
    TFontWarmUp(const TFontWarmUp &) = delete;
    TFontWarmUp &operator=(const TFontWarmUp &) = delete;
    void Wait();

private:
    std::thread thread_;
};

// Loads Qt's image format plugins on a thread of its own while the window is built: the menu
// bar's first icon would otherwise load all of them on the way to the first paint. Start it
// once the QApplication exists; it is waited for on destruction.
class TImageFormatsWarmUp {
public:
    TImageFormatsWarmUp();
    ~TImageFormatsWarmUp();
    TImageFormatsWarmUp(const TImageFormatsWarmUp &) = delete;
    TImageFormatsWarmUp &operator=(const TImageFormatsWarmUp &) = delete;

private:
    std::thread thread_;
};

} // namespace AppStart
