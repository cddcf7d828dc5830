// What the hosts accept from a plug-in: extension lists and descriptor
// records, display names, information records, bitmap headers, palettes and
// result codes, all from a plug-in that answers with the input
// (answers_plugin.cpp), through every host operation that asks.
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/image_importer.h"
#include "fuzz/input_file.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using AnswersFn = void (*)(const uint8_t*, size_t);

// The plug-in stays loaded for the whole run; the hosts' own loads of it
// share this instance, so they see the answers set here.
AnswersFn Answers(const std::string& path)
{
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto answers = module ? reinterpret_cast<AnswersFn>(dlsym(module, "FuzzAnswers")) : nullptr;
    if (!answers)
        __builtin_trap(); // the target is built wrong
    return answers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = QR_FUZZ_ANSWERS_DIR;
    static const std::string importer = folder + "/Importer/answers.gim";
    static const AnswersFn importerAnswers = Answers(importer);
    static const AnswersFn exporterAnswers = Answers(folder + "/Exporter/answers.gex");
    // Pictures the plug-in promises may be large: keep the bitmaps small.
    CDibBitmap::SetMaxImageBytes(16u << 20);
    importerAnswers(data, size);
    exporterAnswers(data, size);

    // Lists and filters.
    CImageImporter host(folder + "/Importer/*.gim");
    std::vector<std::string> extensions;
    const std::vector<std::string> exclusions{"MOV", "AVI"};
    host.CollectExtensions(extensions, &exclusions);
    std::string filter;
    const std::vector<std::string> names{"Message"}, extras{".kvt"};
    host.BuildOpenFilter(filter, true, true, &names, &extras, &exclusions);
    (void)host.MatchesColorsItself("a.answer");

    // Both roads, from the plug-in named outright. The bitmap road wants a file.
    const std::string file = WriteInputFile("fuzz_plugin_answers", data, 0);
    CImageBuffer buffer;
    try {
        host.DecodeToBuffer(file, buffer, nullptr, &importer, -1);
        (void)buffer.GetRowPointer(0);
        (void)buffer.GetRowPointer(buffer.GetHeight() - 1);
    } catch (int) {
    }
    CImageImporter bitmapHost(folder + "/Importer/*.gim");
    CDibBitmap bmp;
    try {
        bitmapHost.DecodeToDib(file, bmp, nullptr, &importer, -1);
        (void)bmp.GetPixel(bmp.GetSize().cx - 1, 0);
    } catch (int) {
    }

    // The exporter's lists, and an export into a folder of our own.
    CImageExporter exporter(folder + "/Exporter/*.gex");
    exporter.BuildSaveFilter(filter, -1);
    exporter.BuildSaveFilter(filter, 11);
    std::vector<std::string> list;
    exporter.ListNames(list);
    exporter.ListExtensions(list, true);
    exporter.ListExtensions(list, false);
    (void)exporter.ServesExtension(11, "jpg");
    if (!extensions.empty() || !list.empty()) {
        static const std::filesystem::path out = std::filesystem::temp_directory_path() / "fuzz_plugin_answers.d";
        std::filesystem::create_directories(out);
        CImageBuffer picture;
        if (picture.Create(CImageBuffer::kHeap, CSize(3, 2), 11)) {
            // Only a plain extension names a file in our folder.
            std::string ext = list.empty() ? std::string() : list.front();
            if (ext.empty() || ext.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") != std::string::npos)
                ext = "JPG";
            const std::string target = (out / ("x." + ext)).string();
            try {
                CImageExporter(folder + "/Exporter/*.gex").Export(target, picture, data, 0, nullptr, 0, nullptr, 0, true);
            } catch (int) {
            }
        }
    }
    return 0;
}
