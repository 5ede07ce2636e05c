// example-host: the smallest complete host of a camera module.
//   example-host PARAM [MODULE_FILE] [FRAMES]
// loads the module (by default the installed one), makes one object, grabs
// FRAMES frames (default 10) and prints the size of every image.
//
// It loads the module with dlopen directly to stay self-contained; on
// Windows the same steps are LoadLibrary, GetProcAddress and FreeLibrary.

#include <Base.h>

#include <opencv2/core.hpp>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: example-host PARAM [MODULE_FILE] [FRAMES]\n"
                             "  PARAM  the module's parameter string, e.g. \"camera1,a,1,/data/recording\"\n");
        return 2;
    }
    const char* param = argv[1];
    const char* modulePath = argc > 2 ? argv[2] : INSTALLED_MODULE;
    const int frames = argc > 3 ? std::atoi(argv[3]) : 10;

    void* library = dlopen(modulePath, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "example-host: cannot load %s: %s\n", modulePath, dlerror());
        return 1;
    }
    auto create = reinterpret_cast<CreateModuleFn>(dlsym(library, "create"));
    auto destory = reinterpret_cast<DestroyModuleFn>(dlsym(library, "destory"));
    if (!create || !destory) {
        std::fprintf(stderr, "example-host: %s is not a camera module: %s\n", modulePath, dlerror());
        dlclose(library);
        return 1;
    }

    int status = 0;
    Base* camera = create();
    camera->setParam(nullptr, QByteArray(param));
    if (!camera->init(nullptr)) {  // the module has logged an [ERROR] line saying why
        std::fprintf(stderr, "example-host: init failed for \"%s\"\n", param);
        status = 1;
    }
    for (int frame = 1; status == 0 && frame <= frames; ++frame) {
        if (!camera->run()) {  // a failed grab: [ERROR] line, nothing buffered
            std::printf("frame %d: grab failed\n", frame);
            continue;
        }
        std::vector<cv::Mat> images;
        camera->getImages(images, nullptr);  // false and nothing added: no file for the camera here
        std::printf("frame %d: %zu image(s)", frame, images.size());
        for (const cv::Mat& image : images)
            std::printf("  %dx%d/%dch", image.cols, image.rows, image.channels());
        std::printf("\n");
    }
    destory(camera);
    dlclose(library);
    return status;
}
