// The fixed texts of the code editor library: messages, attribute names, filters and samples.
#pragma once

namespace CodeEditStr {

// Highlighter framework.
extern const char SYNS_Unknown[];
extern const char SYNS_KeywordAlreadyInList[];
extern const char SYNS_MethodChainEntry[];
extern const char SYNS_MethodChainRemove[];
extern const char SYNS_AttrBackground[];
extern const char SYNS_AttrForeground[];
extern const char SYNS_AttrStyle[];

// SQL highlighter attributes, filter and language.
extern const char SYNS_AttrComment[];
extern const char SYNS_AttrDataType[];
extern const char SYNS_AttrDefaultPackage[];
extern const char SYNS_AttrException[];
extern const char SYNS_AttrFunction[];
extern const char SYNS_AttrIdentifier[];
extern const char SYNS_AttrReservedWord[];
extern const char SYNS_AttrNumber[];
extern const char SYNS_AttrPLSQL[];
extern const char SYNS_AttrSpace[];
extern const char SYNS_AttrSQLPlus[];
extern const char SYNS_AttrString[];
extern const char SYNS_AttrSymbol[];
extern const char SYNS_AttrTableName[];
extern const char SYNS_AttrVariable[];
extern const char SYNS_FilterSQL[];
extern const char SYNS_LangSQL[];

// Line buffer.
extern const char SInvalidStringListIndex[];
extern const char SInvalidCapacity[];
extern const char SListIndexOutOfBounds[];

// Key bindings.
extern const char SDuplicateShortCut[];

// Word wrap and internal checks.
extern const char SWordWrapOwner[];
extern const char SAssertionFailure[];

}  // namespace CodeEditStr
