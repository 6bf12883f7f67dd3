// CommandScope: brackets one command of a component set that counts commands (BeginCommand /
// EndCommand, nested brackets counting as the one outside them) for as long as it lives, so an
// error thrown out of the command still ends it.
#ifndef VARNHOLT_BASE_COMMAND_SCOPE_H_
#define VARNHOLT_BASE_COMMAND_SCOPE_H_

namespace varnholt {

template <typename Bracketed>
class CommandScope {
 public:
  explicit CommandScope(Bracketed& bracketed) : bracketed_(bracketed) { bracketed_.BeginCommand(); }
  ~CommandScope() { bracketed_.EndCommand(); }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

 private:
  Bracketed& bracketed_;
};

}  // namespace varnholt

#endif  // VARNHOLT_BASE_COMMAND_SCOPE_H_
