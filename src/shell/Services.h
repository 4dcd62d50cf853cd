#pragma once

// The services that one part of the program offers the others, found by
// their interface type. A module publishes an implementation of a small
// interface; another module finds it and calls it, without including the
// publisher's windows or linking its library.
//
// Where the interfaces live: an interface that one module offers is declared
// in that module's public folder, `src/<module>/api/`, header-only and free
// of Qt widgets (plain values, std::function). An interface that the shell
// itself offers (the main window's) lives in `src/shell/`. Nothing else of
// a module may be included by another module; scripts/check-modules
// enforces that.
//
// A service may be absent (its module is not in the program): Find returns
// null and the caller carries on without it.

#include <typeindex>
#include <unordered_map>

namespace shell {

class ServiceRegistry {
  public:
    // Makes `service` findable as `Interface`; a later publication of the same
    // interface replaces the earlier one. The service must outlive the registry's use.
    template <class Interface>
    void Publish(Interface& service) {
        services_[std::type_index(typeid(Interface))] = static_cast<void*>(&service);
    }

    template <class Interface>
    Interface* Find() const {
        const auto it = services_.find(std::type_index(typeid(Interface)));
        return it == services_.end() ? nullptr : static_cast<Interface*>(it->second);
    }

  private:
    std::unordered_map<std::type_index, void*> services_;
};

}  // namespace shell
