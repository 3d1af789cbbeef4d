#include "host/host_error.h"

namespace kelv::host {

std::string standard_description(int32_t number) {
  switch (number) {
    case 5: return "无效的过程调用或参数";
    case 6: return "溢出";
    case 7: return "内存不足";
    case 9: return "下标越界";
    case 13: return "类型不匹配";
    case 53: return "文件未找到";
    case 70: return "没有权限";
    case 75: return "路径/文件访问错误";
    case 76: return "路径未找到";
    case 91: return "对象变量或 With 块变量未设置";
    case 94: return "无效使用 Null";
    case 424: return "要求对象";
    case 1004: return "应用程序定义或对象定义错误";
    default: return "应用程序定义或对象定义错误";
  }
}

HostError::HostError(std::string source, int32_t number, std::string description)
    : std::runtime_error(source + "：(" + std::to_string(number) + ")" + description),
      source_(std::move(source)),
      number_(number),
      description_(std::move(description)) {}

HostError HostError::host(int32_t number) {
  return HostError(kHostSource, number, standard_description(number));
}

HostError HostError::host(int32_t number, std::string description) {
  return HostError(kHostSource, number, std::move(description));
}

}  // namespace kelv::host
