// The module's four exported entry points and its one class factory. None
// lets an exception out.
#include "ComponentServer.h"
#include "ModuleLoader.h"
#include "VelmoraImpl1.h"
#include "Velmora_TLB.h"

#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint32_t OLEMISC_ACTSLIKELABEL = 0x2000;
constexpr uint32_t OLEMISC_SIMPLEFRAME = 0x10000;

// Module initialisation, on first use: the class factory of the control,
// registered once.
TComServer& Server() {
    TComServer& server = TComServer::Instance();
    static const bool registered = [&] {
        TClassInfo info;
        info.clsid = CLASS_Velmora;
        info.className = "Velmora";
        info.progId = "Velmora.Velmora";
        info.description = CVelmoraDesc.helpString;
        info.threadingModel = "Apartment";
        info.miscStatus = OLEMISC_SIMPLEFRAME | OLEMISC_ACTSLIKELABEL;
        info.toolboxBitmap = 1;
        info.typeLib = &VelmoraTypeLib;
        server.RegisterFactory(std::move(info), &TVelmora::CreateInstance);
        return true;
    }();
    (void)registered;
    return server;
}

} // namespace

VELMORA_EXPORT HRESULT DllGetClassObject(const TGuid* clsid, const TGuid* iid, void** out) {
    return SafeCall([&] { return Server().GetClassObject(clsid, iid, out); });
}

VELMORA_EXPORT HRESULT DllCanUnloadNow() {
    return SafeCall([] { return Server().CanUnloadNow(); });
}

VELMORA_EXPORT HRESULT DllRegisterServer() {
    return SafeCall([] {
        // The registration names this very file, wherever it was loaded from.
        const std::string path = ModuleFileOf(reinterpret_cast<const void*>(&DllRegisterServer));
        return Server().RegisterServer(path);
    });
}

VELMORA_EXPORT HRESULT DllUnregisterServer() {
    return SafeCall([] { return Server().UnregisterServer(); });
}
