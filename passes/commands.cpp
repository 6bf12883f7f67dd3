#include "passes/commands.h"

namespace varnholt {

// Until the store components land, the commands exist but do nothing.
struct StoreComponents {};

Commands::Commands(FormHost& host, CommandEnvironment environment)
    : host_(host), environment_(std::move(environment)), components_(std::make_unique<StoreComponents>()) {}
Commands::~Commands() = default;

void Commands::Button2Click() {}
void Commands::Button3Click() {}
void Commands::Button1Click() {}
void Commands::Button6Click() {}
void Commands::Button7Click() {}
void Commands::Button8Click() {}
void Commands::DiscardPending() {}

StoreComponents& Commands::components() { return *components_; }
const CommandEnvironment& Commands::environment() const { return environment_; }

}  // namespace varnholt
