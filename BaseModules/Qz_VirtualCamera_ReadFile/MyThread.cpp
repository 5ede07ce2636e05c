#include "MyThread.h"

#include "Grab.h"

MyThread::MyThread(void* userData) : QThread(nullptr), userData(userData) {}

void MyThread::run()
{
    grabFrame(&handOff, log);
}
