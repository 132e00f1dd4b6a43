#pragma once

#include <string>

// The last status a device operation reported: texts as the device sent
// them (UTF-8 bytes) and the percent done, 0 to 100.
struct TaskStatusInfo
{
    std::string status;
    std::string error;
    int percent = 0;
};
