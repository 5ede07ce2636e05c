#pragma once

#include <QThread>

// Worker of one module object. Each start runs one grab and ends; the
// module object starts it again for the next grab.
class MyThread : public QThread {
    Q_OBJECT
public:
    explicit MyThread(void* userData);

protected:
    void run() override;

private:
    void* userData;  // kept for hosts' tooling, never read
};
