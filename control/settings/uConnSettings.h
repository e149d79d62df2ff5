// The "Connection settings" dialog without its widgets: the fields of one
// stored connection, the connection string built from them for the engine
// module and parsed back, the checks of OK, and the HTTP module's own
// parameter dialog. User-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PLHTTPApi.h"
#include "uConnParm.h"

inline constexpr char kInvalidInputValue[] = "Invalid input value";
inline constexpr char kHttpNotInstalled[] = "HTTP Library not installed.";
inline constexpr char kHttpWrongVersion[] = "Incorrect version of HTTP library.";

// The fields of the dialog, by which a failed check names the one to focus.
enum class TConnField {
    None,
    Name,
    ConnType,
    HttpParams, // the "Params" button
    VirtualTemplate,
    Tn3270Address,
    Tn3270Port,
    Tn3270TermType,
    Tn3270LUName,
    Tn3270TableName,
    Tn5250Address,
    Tn5250Port,
    Tn5250TermType,
    Tn5250TableName,
};

enum class TConnPage { Vacia, Virtual, TN3270, TN5250 };
const char* PageName(TConnPage page);

// The settings of a TN3270 or TN5250 page, as typed.
struct TTnSettings {
    std::string Address;
    std::string Port = "23";
    std::string TermType;
    std::string LUName; // TN3270 only
    std::string TableName = "Default";
};

struct TConnTypeEntry {
    std::string Name;
    const TConnType* Type = nullptr; // owned by the emulator form's type list
};

const std::vector<std::string>& Tn3270TermTypes(); // "IBM-3178-2", "IBM-3179-2"
const std::vector<std::string>& Tn5250TermTypes(); // "IBM-3179-2", "IBM-5211-2"

// How "Params" reaches the HTTP module; the real one loads it for the call
// only and releases it right after.
struct THttpModuleAccess {
    std::function<std::string()> ModulePath;
    std::function<void*(const std::string& pathOrName)> Load;
    std::function<void*(void* module, const char* name)> Symbol;
    std::function<void(void* module)> Unload;
};
THttpModuleAccess RealHttpModuleAccess();

enum class THttpParamsResult { Accepted, Declined, NotInstalled, WrongVersion };

class TConnSettings {
public:
    // The fields, as the widgets show them.
    std::string Name;
    std::vector<TConnTypeEntry> Types; // in the order offered
    int TypeIndex = -1;                // -1: no type chosen
    bool UseHttp = false;
    std::string VirtualTemplate;
    TTnSettings Tn3270;
    TTnSettings Tn5250;

    TConnSettings() { ClearFields(); }

    void AddType(const std::string& name, const TConnType* type);
    // Selects the type of that name, compared without regard to case; none when absent.
    void SelectType(const std::string& name);
    std::string ChosenType() const;
    // The page of the chosen type; "Vacia" for an unknown type or none.
    TConnPage Page() const;

    // Every field to its default; the HTTP parameter text stays.
    void ClearFields();
    // Binds conn (may be null) and shows its values.
    void LoadConnection(TConnParm* conn);
    TConnParm* Conn() const { return conn_; }
    void ParseConnString(const std::string& s);

    // The connection string of the fields; TConnField::None when built, else
    // the field whose value is invalid.
    TConnField BuildConnString(std::string& out);
    struct TOkResult {
        bool Stored = false;
        TConnField Invalid = TConnField::None;
    };
    // Checks every field and only then writes the bound connection.
    TOkResult Ok();

    // The help topic of the chosen type; empty for none.
    std::string HelpTopic() const;

    const std::string& HttpParams() const { return httpParams_; }
    const std::string& ConnString() const { return connString_; }
    // One call of the module's ParamDialog with the 512-byte buffer.
    bool CallParamDialog(TParamDialogFn paramDialog, intptr_t parentWindow);
    // "Params": loads the module, calls ParamDialog and releases the module.
    THttpParamsResult EditHttpParams(intptr_t parentWindow, const THttpModuleAccess& access);

private:
    void ParseHttp(const std::string& s);
    TConnField CheckTn(const TTnSettings& tn, bool tn3270) const;

    TConnParm* conn_ = nullptr;
    std::string connString_;
    std::string httpParams_;
};

// The message that "Params" shows for a result; empty for none.
const char* HttpParamsMessage(THttpParamsResult result);
