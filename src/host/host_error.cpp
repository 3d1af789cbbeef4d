#include "host/host_error.h"

namespace kelv::host {

std::string standard_description(int32_t number) {
  switch (number) {
    case kInvalidArgument:
      return "无效的过程调用或参数";
    case kOverflow:
      return "溢出";
    case kOutOfMemory:
      return "内存不足";
    case kSubscriptOutOfRange:
      return "下标越界";
    case kTypeMismatch:
      return "类型不匹配";
    case kUserInterrupt:
      return "用户中断";
    case kFileNotFound:
      return "文件未找到";
    case kPermissionDenied:
      return "没有权限";
    case kPathFileAccess:
      return "路径/文件访问错误";
    case kPathNotFound:
      return "路径未找到";
    case kObjectNotSet:
      return "对象变量或 With 块变量未设置";
    case kInvalidUseOfNull:
      return "无效使用 Null";
    case kObjectRequired:
      return "要求对象";
    case kNoSuchMember:
      return "对象不支持该属性或方法";
    case kArgumentNotOptional:
      return "参数不可选";
    case kRefused:
      return "应用程序定义或对象定义错误";
    default:
      return "应用程序定义或对象定义错误";
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
