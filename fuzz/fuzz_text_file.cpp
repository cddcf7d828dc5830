// Files no picture reader takes, drawn as text: the first bytes of any file
// (UTF-8, else Latin-1) laid out with word breaks, tabs and ellipses.
#include "imaging/dib_bitmap.h"
#include "imaging/image_load.h"
#include "fuzz/input_file.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The text is drawn with the program's fonts, which need the application
// object. It lives as long as the process: the font libraries' own
// clean-up at exit would come after its destruction.
QGuiApplication* App()
{
    static int argc = 1;
    static char name[] = "fuzz_text_file";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    return app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    App();
    const std::string path = WriteInputFile("fuzz_text_file.txt", data, size);
    if (path.empty())
        return 0;
    // A small card keeps each run short; the whole text is laid out all the same.
    const RECT card{0, 0, 96, 64};
    CDibBitmap dib;
    if (!RenderTextFileToDib(path, dib, &card) || dib.GetSize() != CSize(96, 64) || dib.GetBitsPerPixel() != 1)
        std::abort();
    std::remove(path.c_str());
    return 0;
}
