#include "platform/Version.h"

QV_VERSION_INFO("FileVersion=2.3.4.5\0ProductName=TestModule\0");

extern "C" __attribute__((visibility("default"))) int qv_test_answer() { return 42; }
