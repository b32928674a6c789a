#pragma once
// The one implementation of COM's reference counting and interface query, shared by the
// OLE and DirectDraw objects of ours.
#include "platform/win32/types.h"

// An object that offers `Interface` and the interfaces it derives from, whose IIDs
// `Derived::interfaces` lists. The last Release calls `Derived::destroy()`, which deletes
// the object unless the derived class says otherwise (a DirectDraw back buffer lives as long
// as its flip chain). Releasing an object that has no references left does nothing.
template <class Derived, class Interface> class com_object : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        if (!object)
            return E_POINTER;
        for (const IID *known : Derived::interfaces) {
            if (iid == *known) {
                *object = static_cast<Interface *>(this);
                AddRef();
                return S_OK;
            }
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (references_ == 0)
            return 0;
        const ULONG left = --references_;
        if (left == 0)
            static_cast<Derived *>(this)->destroy();
        return left;
    }

  protected:
    com_object() = default;
    ~com_object() = default;
    void destroy() { delete static_cast<Derived *>(this); }
    ULONG references() const { return references_; }

  private:
    ULONG references_ = 1;
};
