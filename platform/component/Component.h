// The component layer that stands in for an in-process component server:
// result codes, class and interface identifiers, the reference-counted
// interface root, the class factory, and the helper that keeps a C++
// exception from crossing an interface. No Qt here: the control and the
// container each bring their own widgets.
//
// Interfaces are abstract C++ classes; a module and its container are built
// by the same compiler, so their tables of virtual functions agree. Nothing
// throws across them: every interface method returns an HRESULT.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

using HRESULT = int32_t;

constexpr HRESULT MakeResult(uint32_t code) {
    return static_cast<HRESULT>(code);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeResult(0x80004003);
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeResult(0x80040111);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeResult(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeResult(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeResult(0x80040202);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeResult(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = MakeResult(0x80040201);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeResult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeResult(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeResult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeResult(0x80020006);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeResult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeResult(0x8002000A);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeResult(0x8002000E);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

// "0x80004002", for messages.
std::string ResultText(HRESULT hr);

// A 16-bit boolean of the automation interfaces: -1 is True, 0 is False;
// a caller that writes one may pass any non-zero value for True.
using WordBool = int16_t;
inline constexpr WordBool kWordTrue = -1;
inline constexpr WordBool kWordFalse = 0;
constexpr WordBool ToWordBool(bool value) {
    return value ? kWordTrue : kWordFalse;
}

// Writes a result through a caller's out-pointer; E_POINTER for null.
template <typename T> HRESULT SetOut(T* target, T value) {
    if (!target) return E_POINTER;
    *target = value;
    return S_OK;
}

// A class or interface identifier. Its text form is
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", the one the registry holds.
struct TGuid {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    friend constexpr bool operator==(const TGuid& a, const TGuid& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i) {
            if (a.Data4[i] != b.Data4[i]) return false;
        }
        return true;
    }

    // Upper-case hex digits, with the braces.
    std::string ToString() const;
    // The text form exactly (hex digits of either case); nothing before or
    // after it, no missing or extra digit.
    static std::optional<TGuid> Parse(std::string_view text);
};

inline constexpr TGuid GUID_NULL{};

using DISPID = int32_t;

// The root of every interface. An object lives while it holds references;
// nobody deletes it through an interface, so the destructor is protected.
class IUnknown {
public:
    // *out is set to the interface or, on E_NOINTERFACE, to null; a null out
    // gives E_POINTER. A successful call adds a reference.
    virtual HRESULT QueryInterface(const TGuid& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// Makes the objects of one class.
class IClassFactory : public IUnknown {
public:
    // outer must be null: the objects do not join an aggregate.
    virtual HRESULT CreateInstance(IUnknown* outer, const TGuid& iid, void** out) = 0;
    // While locked, the module that serves the factory stays loaded.
    virtual HRESULT LockServer(int32_t lock) = 0;

protected:
    ~IClassFactory() = default;
};

inline constexpr TGuid IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr TGuid IID_IClassFactory{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A counted reference to an interface: adds one when copied, drops one when
// destroyed.
template <typename T> class TComPtr {
public:
    TComPtr() = default;
    // Takes a reference of its own.
    explicit TComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    TComPtr(const TComPtr& other) : TComPtr(other.p_) {}
    TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    TComPtr& operator=(TComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~TComPtr() { Reset(); }

    // Takes over a reference the caller already holds (a QueryInterface result).
    static TComPtr Adopt(T* p) {
        TComPtr out;
        out.p_ = p;
        return out;
    }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For a call that fills an out parameter (QueryInterface's void**, or a
    // typed one); drops what was held.
    void** Put() { return reinterpret_cast<void**>(Out()); }
    T** Out() {
        Reset();
        return &p_;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

// QueryInterface into a counted reference; empty when the object lacks it.
template <typename T> TComPtr<T> QueryAs(IUnknown* object, const TGuid& iid) {
    TComPtr<T> out;
    if (object) object->QueryInterface(iid, out.Put());
    return out;
}

// The reference count of one object. An object's final Release hands it to
// its own destruction; while that runs, the count stays far from zero, so a
// reference taken and dropped on the way (an event sink calling back) cannot
// destroy it twice.
class TRefCount {
public:
    uint32_t Add() { return ++count_; }
    // True when this was the last reference.
    bool Drop(uint32_t* left) {
        const uint32_t now = --count_;
        if (left) *left = now;
        if (now != 0) return false;
        count_ = kDestroying;
        return true;
    }
    uint32_t Count() const { return count_; }

    // Release of an object that owns itself: the last reference frees it.
    template <typename T> uint32_t ReleaseOwner(T* self) {
        uint32_t left = 0;
        if (Drop(&left)) std::unique_ptr<T>(self).reset();
        return left;
    }

private:
    static constexpr uint32_t kDestroying = 1u << 30;
    std::atomic<uint32_t> count_{1};
};

// The text of the last failure that a safe call caught on this thread, for
// Invoke to report; taking it clears it.
void SetErrorInfoText(std::string text);
std::string TakeErrorInfoText();

// Runs a call that may raise and turns any exception into a failure result:
// E_OUTOFMEMORY for an allocation failure, E_FAIL for any other, with the
// exception's text kept as error info. So no exception leaves an interface
// method or an exported function.
template <typename F> HRESULT SafeCall(F&& call) noexcept {
    try {
        return std::forward<F>(call)();
    } catch (const std::bad_alloc&) {
        SetErrorInfoText("Out of memory");
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        SetErrorInfoText(e.what());
        return E_FAIL;
    } catch (...) {
        SetErrorInfoText("Unexpected failure");
        return E_UNEXPECTED;
    }
}
