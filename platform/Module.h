#pragma once
// Loadable modules (plug-ins, serial link, converter, resource module).
// Every plug-in exports the same names, so modules are loaded privately
// (RTLD_LOCAL) and always by absolute path.
#include <filesystem>
#include <string>
#include <string_view>

namespace qv {

class Module {
 public:
  Module() = default;
  ~Module() { Unload(); }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  Module(Module&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_)) { other.handle_ = nullptr; }
  Module& operator=(Module&& other) noexcept;

  // Loads the module; a relative name is taken from the program's folder.
  bool Load(std::string_view name);
  bool IsLoaded() const { return handle_ != nullptr; }
  // The exported symbol, or null when the module lacks it.
  void* Symbol(const char* name) const;
  template <typename Fn>
  Fn Function(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }
  // Unloads the module. Callers end any thread of the module first.
  void Unload();
  // Why the last Load failed.
  const std::string& Error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace qv
