#pragma once
// Camera-module interface shared by hosts and camera modules.
//
// A host loads a module, gets an object from the module's exported `create`,
// drives it only through the four operations below and hands it back to the
// module's exported `destory`. The order of the virtual functions and of the
// data members is the binary contract with hosts built against this header:
// do not reorder, insert or remove anything.

#include <QByteArray>
#include <QObject>

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <string>
#include <vector>

class Base : public QObject {
    Q_OBJECT
public:
    Base();
    ~Base() override;

    // Appends the images of the finished grabs to `images`. Base: true, `images` untouched.
    virtual bool getImages(std::vector<cv::Mat>& images, void* context);
    // Stores the module's configuration text. Base: true.
    virtual bool setParam(void* context, const QByteArray& param);
    // Applies the stored configuration. Base: true.
    virtual bool init(void* context);
    // Performs one grab and returns when it is done. Base: true.
    virtual bool run();

    // Reserved for hosts; camera modules never read or write these.
    std::int64_t reservedForHostValue;  // left uninitialised, as hosts expect
    std::string reservedForHostText1;
    cv::Mat reservedForHostImage;
    std::string reservedForHostText2;
};

#include "ModuleEntries.h"  // the signatures of create and destory
