// example-station: two cameras of one station in one host process.
//   example-station PARAM1 PARAM2 [MODULE_FILE] [FRAMES]
// Objects of one loaded module file share its state, so each camera loads
// its own copy of the module file: copied into a folder of this process,
// then loaded from there. On Windows the steps are the same with
// CopyFileW and LoadLibraryW (a copy under another path is another module).

#include <Base.h>

#include <opencv2/core.hpp>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct Camera {
    std::string param;
    fs::path copy;
    void* library = nullptr;
    DestroyModuleFn destory = nullptr;
    Base* object = nullptr;
};

// Loads a private copy of `module` for `camera`; false after saying why.
bool open(Camera& camera, const fs::path& module, const fs::path& folder, int index)
{
    camera.copy = folder / ("camera" + std::to_string(index) + "_" + module.filename().string());
    std::error_code ec;
    fs::copy_file(module, camera.copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        std::fprintf(stderr, "example-station: cannot copy %s: %s\n", module.c_str(), ec.message().c_str());
        return false;
    }
    camera.library = dlopen(camera.copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!camera.library) {
        std::fprintf(stderr, "example-station: cannot load %s: %s\n", camera.copy.c_str(), dlerror());
        return false;
    }
    auto create = reinterpret_cast<CreateModuleFn>(dlsym(camera.library, "create"));
    camera.destory = reinterpret_cast<DestroyModuleFn>(dlsym(camera.library, "destory"));
    if (!create || !camera.destory) {
        std::fprintf(stderr, "example-station: %s is not a camera module\n", module.c_str());
        return false;
    }
    camera.object = create();
    camera.object->setParam(nullptr, QByteArray(camera.param.c_str()));
    if (!camera.object->init(nullptr)) {  // the module has logged an [ERROR] line saying why
        std::fprintf(stderr, "example-station: init failed for \"%s\"\n", camera.param.c_str());
        return false;
    }
    return true;
}

void close(Camera& camera)
{
    if (camera.object)
        camera.destory(camera.object);
    if (camera.library)
        dlclose(camera.library);
    std::error_code ec;
    fs::remove(camera.copy, ec);
}

int main(int argc, char* argv[])
{
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: example-station PARAM1 PARAM2 [MODULE_FILE] [FRAMES]\n");
        return 2;
    }
    const fs::path module = argc > 3 ? argv[3] : INSTALLED_MODULE;
    const int frames = argc > 4 ? std::atoi(argv[4]) : 10;
    const fs::path folder = fs::temp_directory_path() / ("example-station-" + std::to_string(getpid()));
    std::error_code ec;
    fs::create_directories(folder, ec);

    std::vector<Camera> cameras(2);
    cameras[0].param = argv[1];
    cameras[1].param = argv[2];
    int status = 0;
    for (std::size_t i = 0; i < cameras.size() && status == 0; ++i)
        status = open(cameras[i], module, folder, static_cast<int>(i) + 1) ? 0 : 1;
    for (int frame = 1; status == 0 && frame <= frames; ++frame) {
        std::printf("frame %d:", frame);
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            std::vector<cv::Mat> images;
            if (cameras[i].object->run())
                cameras[i].object->getImages(images, nullptr);
            std::printf("  camera %zu: %zu image(s)", i + 1, images.size());
            if (!images.empty())
                std::printf(" %dx%d/%dch", images[0].cols, images[0].rows, images[0].channels());
        }
        std::printf("\n");
    }
    for (Camera& camera : cameras)
        close(camera);
    fs::remove_all(folder, ec);
    return status;
}
