// The host-field list as the log shows it: one line per field, the text of a
// field the screen does not show (a password, as a rule) as asterisks. Any
// thread.
#pragma once

#include <string>

#include "uPLIntfLogg.h"
#include "uPlBasFld.h"

inline std::string LoggedFieldText(const THostBasicField& f) {
    if (f.GetAttr().Has(attNonDisplay)) return std::string(f.Data.size(), '*');
    return f.Data;
}

// The lines of the list's fields, at level 5.
inline void LogFieldLines(const THostFields& list) {
    for (const auto& f : list.Fields)
        WriteLog(5, Format("Col:%.2d - Row:%.2d - Len:%.2d - Pos:%.4d - Data:%s", f->Col, f->Row,
                           f->Len, f->Pos, LoggedFieldText(*f).c_str()));
}
