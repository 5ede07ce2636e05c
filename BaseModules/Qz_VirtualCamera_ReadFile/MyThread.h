#pragma once

#include "GrabHandOff.h"
#include "ModuleLog.h"

#include <QThread>

// Worker of one module object. Each start runs one grab and ends; the
// module object starts it again for the next grab.
class MyThread : public QThread {
    Q_OBJECT
public:
    explicit MyThread(void* userData);

    // Where the host thread that started a grab takes part in it.
    GrabHandOff& grabHandOff() { return handOff; }
    // The last grab's log lines, for run to write on the host's thread.
    CollectedLog& grabLog() { return log; }

protected:
    void run() override;

private:
    void* userData;  // kept for hosts' tooling, never read
    GrabHandOff handOff;
    CollectedLog log;
};
