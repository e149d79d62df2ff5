#include "uConnSettings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>

#include "ModuleLoader.h"
#include "uParamItems.h"
#include "uPlComComun.h"

namespace {

constexpr char kDefaultPort[] = "23";
constexpr char kDefaultTable[] = "Default";
constexpr char kDefault3270Term[] = "IBM-3178-2";
constexpr char kDefault5250Term[] = "IBM-3179-2";
// ParamDialog gets a buffer of this size; its text is zero-terminated within it.
constexpr int32_t kParamBufferSize = 512;

bool StartsNoCase(std::string_view text, std::string_view key) {
    return text.size() >= key.size() &&
           EqualsIgnoreCase(std::string(text.substr(0, key.size())), std::string(key));
}

std::string UpTo(std::string_view text, char stop) {
    return std::string(text.substr(0, text.find(stop)));
}

bool Has(const std::string& text, char c) {
    return text.find(c) != std::string::npos;
}

// A port is digits only, as typed, naming a TCP port from 1 to 65535.
bool ValidPort(const std::string& port) {
    if (TrimBlanks(port).empty()) return false;
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > 65535) return false;
    }
    return value >= 1;
}

std::string SelectTerm(const std::string& wanted, const std::vector<std::string>& entries,
                       const char* fallback) {
    for (const auto& e : entries)
        if (EqualsIgnoreCase(e, wanted)) return e;
    return fallback;
}

// The items of a TN3270 or TN5250 string. The walk starts at the address
// itself, so an address that begins with a key counts as that item too.
void ParseTn(const std::string& s, TTnSettings& tn, bool tn3270) {
    tn.Address = UpTo(s, ';');
    std::string_view cur = s;
    for (;;) {
        if (StartsNoCase(cur, "TBL=")) {
            tn.TableName = UpTo(cur.substr(4), ';');
        } else if (StartsNoCase(cur, "TRM=")) {
            tn.TermType =
                SelectTerm(UpTo(cur.substr(4), ';'), tn3270 ? Tn3270TermTypes() : Tn5250TermTypes(),
                           tn3270 ? kDefault3270Term : kDefault5250Term);
        } else if (StartsNoCase(cur, "PORT=")) {
            tn.Port = UpTo(cur.substr(5), ';');
        } else if (tn3270 && StartsNoCase(cur, "DEV=")) {
            tn.LUName = UpTo(TrimBlanks(std::string(cur.substr(4))), ';');
        }
        auto next = cur.find(';');
        if (next == std::string_view::npos) break;
        cur = cur.substr(next + 1);
    }
}

std::string BuildTn(const TTnSettings& tn, bool tn3270) {
    std::string s = tn.Address;
    if (tn.Port != kDefaultPort) s += ";PORT=" + tn.Port;
    if (tn.TermType != (tn3270 ? kDefault3270Term : kDefault5250Term)) s += ";TRM=" + tn.TermType;
    if (tn3270 && !TrimBlanks(tn.LUName).empty()) s += ";DEV=" + tn.LUName;
    if (tn.TableName != kDefaultTable) s += ";TBL=" + tn.TableName;
    return s;
}

} // namespace

const char* PageName(TConnPage page) {
    switch (page) {
    case TConnPage::Virtual:
        return "Virtual";
    case TConnPage::TN3270:
        return "TN3270";
    case TConnPage::TN5250:
        return "TN5250";
    case TConnPage::Vacia:
        break;
    }
    return "Vacia";
}

const std::vector<std::string>& Tn3270TermTypes() {
    static const std::vector<std::string> types{"IBM-3178-2", "IBM-3179-2"};
    return types;
}

const std::vector<std::string>& Tn5250TermTypes() {
    static const std::vector<std::string> types{"IBM-3179-2", "IBM-5211-2"};
    return types;
}

void TConnSettings::AddType(const std::string& name, const TConnType* type) {
    Types.push_back({name, type});
}

void TConnSettings::SelectType(const std::string& name) {
    TypeIndex = -1;
    for (size_t i = 0; i < Types.size(); ++i)
        if (EqualsIgnoreCase(Types[i].Name, name)) {
            TypeIndex = int(i);
            return;
        }
}

std::string TConnSettings::ChosenType() const {
    if (TypeIndex < 0 || size_t(TypeIndex) >= Types.size()) return {};
    return Types[size_t(TypeIndex)].Name;
}

TConnPage TConnSettings::Page() const {
    std::string type = ChosenType();
    for (TConnPage page : {TConnPage::Virtual, TConnPage::TN3270, TConnPage::TN5250})
        if (EqualsIgnoreCase(type, PageName(page))) return page;
    return TConnPage::Vacia;
}

void TConnSettings::ClearFields() {
    Name.clear();
    SelectType("Virtual");
    UseHttp = false;
    VirtualTemplate.clear();
    Tn3270 = TTnSettings{};
    Tn3270.TermType = kDefault3270Term;
    Tn5250 = TTnSettings{};
    Tn5250.TermType = kDefault5250Term;
}

void TConnSettings::LoadConnection(TConnParm* conn) {
    ClearFields();
    conn_ = conn;
    if (!conn) return;
    Name = conn->Name;
    SelectType(conn->ConnType);
    ParseConnString(conn->Param);
}

void TConnSettings::ParseConnString(const std::string& s) {
    connString_ = s;
    if (!conn_) return;
    const std::string& type = conn_->ConnType;
    if (EqualsIgnoreCase(type, "Virtual"))
        VirtualTemplate = s;
    else if (EqualsIgnoreCase(type, "TN3270"))
        ParseTn(s, Tn3270, true);
    else if (EqualsIgnoreCase(type, "TN5250"))
        ParseTn(s, Tn5250, false);
    else if (EqualsIgnoreCase(type, "HTTP"))
        ParseHttp(s);
}

void TConnSettings::ParseHttp(const std::string& s) {
    auto mark = s.find('?');
    httpParams_ = s.substr(0, mark);
    std::string_view cur = s;
    if (mark != std::string::npos) cur.remove_prefix(mark + 1);
    std::string inner, module, type;
    for (;;) {
        if (StartsNoCase(cur, "ConnString="))
            inner = UpTo(cur.substr(11), '&');
        else if (StartsNoCase(cur, "ConnMod="))
            module = UpTo(cur.substr(8), '&');
        else if (StartsNoCase(cur, "ConnType="))
            type = UpTo(cur.substr(9), '&');
        auto next = cur.find('&');
        if (next == std::string_view::npos) break;
        cur = cur.substr(next + 1);
    }
    if (!module.empty()) {
        std::string upper = module;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (upper.find("VIRTUAL") != std::string::npos) {
            SelectType("Virtual");
            VirtualTemplate = inner;
        } else if (upper.find("TN3270") != std::string::npos) {
            SelectType("TN3270");
            ParseTn(inner, Tn3270, true);
        } else if (upper.find("TN5250") != std::string::npos) {
            SelectType("TN5250");
            ParseTn(inner, Tn5250, false);
        } else {
            TypeIndex = -1;
        }
    } else if (!type.empty()) {
        SelectType(type);
        if (EqualsIgnoreCase(type, "Virtual"))
            VirtualTemplate = inner;
        else if (EqualsIgnoreCase(type, "TN3270"))
            ParseTn(inner, Tn3270, true);
        else if (EqualsIgnoreCase(type, "TN5250"))
            ParseTn(inner, Tn5250, false);
    }
    UseHttp = true;
}

// A ";" ends an item of the string and, inside an HTTP frame, an "&" ends
// the inner string: either would cut the value short when it is read back.
TConnField TConnSettings::CheckTn(const TTnSettings& tn, bool tn3270) const {
    auto breaks = [this](const std::string& v) { return Has(v, ';') || (UseHttp && Has(v, '&')); };
    if (TrimBlanks(tn.Address).empty() || breaks(tn.Address))
        return tn3270 ? TConnField::Tn3270Address : TConnField::Tn5250Address;
    if (!ValidPort(tn.Port)) return tn3270 ? TConnField::Tn3270Port : TConnField::Tn5250Port;
    if (tn3270 && breaks(tn.LUName)) return TConnField::Tn3270LUName;
    if (breaks(tn.TableName))
        return tn3270 ? TConnField::Tn3270TableName : TConnField::Tn5250TableName;
    return TConnField::None;
}

TConnField TConnSettings::BuildConnString(std::string& out) {
    connString_.clear();
    std::string type = ChosenType();
    if (UseHttp) {
        // The frame is read back by its first "?" and its "&"-separated items.
        if (Has(type, '&')) return TConnField::ConnType;
        if (Has(httpParams_, '?')) return TConnField::HttpParams;
    }
    std::string s = UseHttp ? httpParams_ + "?ConnString=" : std::string();
    if (EqualsIgnoreCase(type, "Virtual")) {
        if (UseHttp && Has(VirtualTemplate, '&')) return TConnField::VirtualTemplate;
        s += VirtualTemplate;
    } else if (EqualsIgnoreCase(type, "TN3270")) {
        if (auto bad = CheckTn(Tn3270, true); bad != TConnField::None) return bad;
        s += BuildTn(Tn3270, true);
    } else if (EqualsIgnoreCase(type, "TN5250")) {
        if (auto bad = CheckTn(Tn5250, false); bad != TConnField::None) return bad;
        s += BuildTn(Tn5250, false);
    }
    if (UseHttp && TypeIndex >= 0) s += "&ConnType=" + type;
    connString_ = s;
    out = s;
    return TConnField::None;
}

TConnSettings::TOkResult TConnSettings::Ok() {
    if (!conn_) return {};
    if (TrimBlanks(Name).empty()) return {false, TConnField::Name};
    if (TrimBlanks(ChosenType()).empty()) return {false, TConnField::ConnType};
    std::string param;
    if (auto bad = BuildConnString(param); bad != TConnField::None) return {false, bad};
    conn_->Name = Name;
    conn_->ConnType = UseHttp ? "HTTP" : ChosenType();
    conn_->Param = param;
    return {true, TConnField::None};
}

std::string TConnSettings::HelpTopic() const {
    if (!conn_) return {};
    switch (Page()) {
    case TConnPage::Virtual:
        return "d_virtualconn";
    case TConnPage::TN3270:
        return "d_3270conn";
    case TConnPage::TN5250:
        return "d_5250conn";
    case TConnPage::Vacia:
        break;
    }
    return {};
}

bool TConnSettings::CallParamDialog(TParamDialogFn paramDialog, intptr_t parentWindow) {
    std::array<char, kParamBufferSize> buffer{};
    size_t n = std::min(httpParams_.size(), buffer.size() - 1);
    std::memcpy(buffer.data(), httpParams_.data(), n);
    if (paramDialog(parentWindow, buffer.data(), kParamBufferSize) == 0) return false;
    // The module may leave the buffer without a terminator: read within it.
    httpParams_.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return true;
}

THttpParamsResult TConnSettings::EditHttpParams(intptr_t parentWindow,
                                                const THttpModuleAccess& access) {
    std::string path = access.ModulePath();
    void* module = access.Load(path);
    if (!module) {
        auto slash = path.rfind('/');
        std::string bare = slash == std::string::npos ? path : path.substr(slash + 1);
        if (!bare.empty() && bare != path) module = access.Load(bare);
    }
    if (!module) return THttpParamsResult::NotInstalled;
    std::unique_ptr<void, std::function<void(void*)>> hold(module, access.Unload);
    auto fn = reinterpret_cast<TParamDialogFn>(access.Symbol(module, "ParamDialog"));
    if (!fn) return THttpParamsResult::WrongVersion;
    return CallParamDialog(fn, parentWindow) ? THttpParamsResult::Accepted
                                             : THttpParamsResult::Declined;
}

THttpModuleAccess RealHttpModuleAccess() {
    THttpModuleAccess a;
    a.ModulePath = [] {
        std::string path;
        GetModulePath("HTTP", path);
        return path;
    };
    a.Load = [](const std::string& p) -> void* { return p.empty() ? nullptr : LoadModule(p); };
    a.Symbol = [](void* m, const char* name) { return ModuleSymbol(m, name); };
    a.Unload = [](void* m) { UnloadModule(m); };
    return a;
}

const char* HttpParamsMessage(THttpParamsResult result) {
    switch (result) {
    case THttpParamsResult::NotInstalled:
        return kHttpNotInstalled;
    case THttpParamsResult::WrongVersion:
        return kHttpWrongVersion;
    default:
        return "";
    }
}
