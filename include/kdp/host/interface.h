// IInterface: the root of every interface the host and the package exchange.
//
// An object publishes one or more faces (interfaces). Each face derives virtually from IInterface and
// carries its Guid as `IID`. `Query<I>(p)` is the only way code asks an object for another face; it
// answers a shared_ptr that shares ownership with `p`, or nullptr when the object lacks that face.
//
// Reference-counted objects are owned through std::shared_ptr: an object lives while a reference is held.
// Implementations derive from `Implements<Faces...>`, which answers QueryInterface for exactly the listed
// faces (and IInterface itself).
#pragma once

#include <memory>

#include "kdp/host/guid.h"

namespace kdp::host {

class IInterface {
 public:
  static constexpr Guid IID = "00000000-0000-0000-C000-000000000046";

  virtual ~IInterface() = default;

  // Returns this object's face `iid` as a pointer to that interface type, or nullptr.
  // The pointer is only valid while the caller holds a reference; prefer Query<I>.
  virtual void* QueryInterface(const Guid& iid) = 0;
};

using InterfacePtr = std::shared_ptr<IInterface>;

// Answers QueryInterface for the listed faces. Faces must derive virtually from IInterface.
template <class... Faces>
class Implements : public virtual IInterface, public Faces... {
 public:
  void* QueryInterface(const Guid& iid) override {
    if (void* face = FindFace<Faces...>(iid)) return face;
    return iid == IInterface::IID ? static_cast<IInterface*>(this) : nullptr;
  }

 private:
  template <class Face, class... Rest>
  void* FindFace(const Guid& iid) {
    if (iid == Face::IID) return static_cast<Face*>(this);
    if constexpr (sizeof...(Rest) > 0) {
      return FindFace<Rest...>(iid);
    } else {
      return nullptr;
    }
  }
};

// Asks `object` for its face I. Shares ownership with `object`; nullptr when absent.
template <class I, class T>
std::shared_ptr<I> Query(const std::shared_ptr<T>& object) {
  if (!object) return nullptr;
  IInterface* root = object.get();
  void* face = root->QueryInterface(I::IID);
  if (face == nullptr) return nullptr;
  return std::shared_ptr<I>(object, static_cast<I*>(face));
}

// The same look-up by Guid, answering the root face (for registries keyed by Guid).
template <class T>
InterfacePtr QueryByGuid(const std::shared_ptr<T>& object, const Guid& iid) {
  if (!object) return nullptr;
  IInterface* root = object.get();
  if (root->QueryInterface(iid) == nullptr) return nullptr;
  return InterfacePtr(object, root);
}

// Wraps an object that is not reference-counted (owned elsewhere) so it can travel as an interface
// reference. The caller guarantees the object outlives every copy.
template <class T>
std::shared_ptr<T> NonOwning(T* object) {
  return std::shared_ptr<T>(std::shared_ptr<void>(), object);
}

}  // namespace kdp::host
