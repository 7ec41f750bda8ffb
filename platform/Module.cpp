#include "platform/Module.h"

#include "platform/Paths.h"

#include <dlfcn.h>

namespace qv {

Module& Module::operator=(Module&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = other.handle_;
    error_ = std::move(other.error_);
    other.handle_ = nullptr;
  }
  return *this;
}

bool Module::Load(std::string_view name) {
  Unload();
  error_.clear();
  auto path = FromProgramDir(name);
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = ::dlerror();
    error_ = e ? e : "cannot load " + path.string();
    return false;
  }
  return true;
}

void* Module::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return ::dlsym(handle_, name);
}

void Module::Unload() {
  if (handle_) {
    ::dlclose(handle_);
    handle_ = nullptr;
  }
}

}  // namespace qv
