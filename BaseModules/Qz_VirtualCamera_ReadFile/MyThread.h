#pragma once

#include "GrabHandOff.h"

#include <QThread>

// Worker of one module object. Each start runs one grab and ends; the
// module object starts it again for the next grab.
class MyThread : public QThread {
    Q_OBJECT
public:
    explicit MyThread(void* userData);

    // Where the host thread that started a grab takes part in it.
    GrabHandOff& grabHandOff() { return handOff; }

protected:
    void run() override;

private:
    void* userData;  // kept for hosts' tooling, never read
    GrabHandOff handOff;
};
