// A host that ends without handing its object to destory, right after a run,
// while the object's worker reads the next frame ahead: by exit(), or by
// returning from main, which also unloads the module file (the loader goes
// out of scope). HostMisuseTest runs it again and again; it must end cleanly.
//   exit_without_destory ROOT exit|return

#include "Base.h"
#include "BuiltModule.h"
#include "CameraModule.h"

#include <QByteArray>

#include <opencv2/core/mat.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    CameraModule module;
    if (!module.load(builtModulePath())) {
        std::fprintf(stderr, "%s\n", module.error().c_str());
        return 3;
    }
    Base* camera = module.create();
    camera->setParam(nullptr, QByteArray("camera1,a,1,") + QByteArray(argv[1]));
    std::vector<cv::Mat> images;
    if (!camera->init(nullptr) || !camera->run() || !camera->getImages(images, nullptr))
        return 4;
    if (std::string(argv[2]) == "exit")
        std::exit(0);
    return 0;
}
