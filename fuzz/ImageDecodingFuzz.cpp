// Arbitrary bytes as image files, read through the module's grab: the input
// is written as a .bmp and a .tiff into one capture folder, and one grab of
// camera2 (bmp files, then tiff files) reads both with OpenCV. Whatever the
// decoder makes of them, the grab must succeed and hand over exactly two
// images, each empty or a whole image whose pixels can all be read. Content
// that is not BMP, TIFF, PNG or JPEG reaches no reader (the seeds hold a
// header of each format the decoder knows): it gives empty images, and no
// reader writes a temporary file.
//
// Run with OPENCV_IO_MAX_IMAGE_PIXELS set low (scripts/fuzz does): the
// decoder otherwise allocates what a header announces, up to 2^30 pixels,
// which trips the fuzzer's memory limit without touching our code.

#include "ImageContent.h"
#include "Qz_VirtualCamera_ReadFile.h"

#include <QByteArray>
#include <QtGlobal>

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <dirent.h>
#include <sys/stat.h>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "the grab broke a rule: %s\n", what);
        std::abort();
    }
}

void dropLogLine(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Recording {
    std::string root;
    std::string bmp;
    std::string tiff;
    std::string decoderTemp;  // where the decoder's readers would write their temporary files
    Base* camera = nullptr;
};

Recording& recording()
{
    static Recording rec = [] {
        Recording made;
        const char* temp = std::getenv("TMPDIR");
        std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/fuzz-decode-XXXXXX";
        check(::mkdtemp(&pattern[0]) != nullptr, "cannot make the recording folder");
        made.root = pattern;
        ::mkdir((made.root + "/cap").c_str(), 0755);
        made.bmp = made.root + "/cap/camera2_input.bmp";
        made.tiff = made.root + "/cap/camera2_input.tiff";
        std::ofstream(made.bmp, std::ios::binary);
        std::ofstream(made.tiff, std::ios::binary);
        made.decoderTemp = made.root + "-decoder-temp";  // beside the recording, not a capture folder
        ::mkdir(made.decoderTemp.c_str(), 0755);
        ::setenv("OPENCV_TEMP_PATH", made.decoderTemp.c_str(), 1);
        qInstallMessageHandler(dropLogLine);  // one error line per broken file adds up
        // No frame read ahead between inputs: libFuzzer's leak check after an
        // input would otherwise look at the worker while it starts helper
        // threads and decodes, and take what only their stacks hold for lost.
        // (A file rewritten while it is read ahead is tested in the suite:
        // FileSystemFault.TiffRewrittenWhileReadAheadDoesNotCrash.)
        ::setenv("QZ_READFILE_READ_AHEAD", "0", 1);
        made.camera = create();
        made.camera->setParam(nullptr, QByteArray::fromStdString("camera2,a,1," + made.root));
        check(made.camera->init(nullptr), "init of the fuzz recording");
        return made;
    }();
    return rec;
}

void write(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
}

// Reads every byte of the image, so a bad buffer shows to AddressSanitizer.
void readWhole(const cv::Mat& image)
{
    check(image.dims == 2 && image.rows > 0 && image.cols > 0, "non-empty image without rows or columns");
    unsigned sum = 0;
    const std::size_t rowBytes = image.cols * image.elemSize();
    for (int row = 0; row < image.rows; ++row) {
        const std::uint8_t* bytes = image.ptr<std::uint8_t>(row);
        for (std::size_t i = 0; i < rowBytes; ++i)
            sum += bytes[i];
    }
    static volatile unsigned sink;
    sink = sum;
}

bool isEmptyFolder(const std::string& path)
{
    DIR* folder = ::opendir(path.c_str());
    check(folder != nullptr, "cannot list the decoder's temporary folder");
    int entries = 0;
    while (::readdir(folder))
        ++entries;
    ::closedir(folder);
    return entries == 2;  // "." and ".."
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Recording& rec = recording();
    write(rec.bmp, data, size);
    write(rec.tiff, data, size);

    check(rec.camera->run(), "run failed");
    std::vector<cv::Mat> images;
    check(rec.camera->getImages(images, nullptr), "no images handed over");
    check(images.size() == 2, "not one image per file");
    const bool decodable = recogniseContent(data, size).decodable;
    for (const cv::Mat& image : images) {
        check(decodable || image.empty(), "content of another format was decoded");
        if (!image.empty())
            readWhole(image);
    }
    check(isEmptyFolder(rec.decoderTemp), "a reader wrote a temporary file");
    return 0;
}
