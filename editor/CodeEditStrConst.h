// The fixed texts of the code editor library: messages, attribute names, filters and samples.
#pragma once

namespace CodeEditStr {

// Highlighter framework.
inline constexpr const char* SYNS_Unknown = "<Unknown>";
inline constexpr const char* SYNS_KeywordAlreadyInList = "Keyword \"%s\" already in list";
inline constexpr const char* SYNS_MethodChainEntry = "%s.Entry : the parameter `AEvent' must be specified.";
inline constexpr const char* SYNS_MethodChainRemove = "%s.Remove: the parameter `AEvent' must be specified.";
inline constexpr const char* SYNS_AttrBackground = "Background";
inline constexpr const char* SYNS_AttrForeground = "Foreground";
inline constexpr const char* SYNS_AttrStyle = "Style";

// SQL highlighter attributes, filter and language.
inline constexpr const char* SYNS_AttrComment = "Comment";
inline constexpr const char* SYNS_AttrDataType = "Data Type";
inline constexpr const char* SYNS_AttrDefaultPackage = "Default Packages";
inline constexpr const char* SYNS_AttrException = "Exception";
inline constexpr const char* SYNS_AttrFunction = "Function";
inline constexpr const char* SYNS_AttrIdentifier = "Identifier";
inline constexpr const char* SYNS_AttrReservedWord = "Reserved Word";
inline constexpr const char* SYNS_AttrNumber = "Number";
inline constexpr const char* SYNS_AttrPLSQL = "PL/SQL Reserved Word";
inline constexpr const char* SYNS_AttrSpace = "Space";
inline constexpr const char* SYNS_AttrSQLPlus = "SQL*Plus Command";
inline constexpr const char* SYNS_AttrString = "String";
inline constexpr const char* SYNS_AttrSymbol = "Symbol";
inline constexpr const char* SYNS_AttrTableName = "Table Name";
inline constexpr const char* SYNS_AttrVariable = "Variable";
inline constexpr const char* SYNS_FilterSQL = "SQL Files (*.sql)|*.sql";
inline constexpr const char* SYNS_LangSQL = "SQL";

// Line buffer.
inline constexpr const char* SInvalidStringListIndex = "Invalid stringlist index %d";
inline constexpr const char* SInvalidCapacity = "Stringlist capacity cannot be smaller than count";
inline constexpr const char* SListIndexOutOfBounds = "List index out of bounds (%d)";

// Key bindings.
inline constexpr const char* SDuplicateShortCut = "Shortcut already exists";

// Word wrap and internal checks.
inline constexpr const char* SWordWrapOwner = "TCodeWordWrapPlugin must be owned by TCustomCodeEdit";
inline constexpr const char* SAssertionFailure = "Assertion failure";

}  // namespace CodeEditStr
