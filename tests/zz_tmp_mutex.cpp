#include <mutex>
#include "platform/platform.h"
Mutex::Mutex() : impl_(new std::mutex) {}
Mutex::~Mutex() { delete static_cast<std::mutex*>(impl_); }
void Mutex::lock() { static_cast<std::mutex*>(impl_)->lock(); }
void Mutex::unlock() { static_cast<std::mutex*>(impl_)->unlock(); }
