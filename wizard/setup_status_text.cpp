#include "wizard/setup_messages.h"

const char* const SetupStatusText[kSetupStateCount] = {
    "错误，请重新下载",  // SETUP_ERROR
    "",                  // SETUP_NONE
    "正在读取配置文件",  // SETUP_READING_CONFIG
    "正在获取版本信息",  // SETUP_GETTING_VERSION
    "正在下载",          // SETUP_DOWNLOADING
    "正在启动安装",      // SETUP_STARTING
    "正在安装",          // SETUP_INSTALLING
    "安装完成",          // SETUP_DONE
};
