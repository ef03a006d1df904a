// The dataset framework's message texts (Format patterns where they take arguments).
#pragma once

inline constexpr char SFieldNotFound[] = "Field '%s' not found";
inline constexpr char SDataSetClosed[] = "Cannot perform this operation on a closed dataset";
inline constexpr char SDataSetOpen[] = "Cannot perform this operation on an open dataset";
inline constexpr char SDataSetEmpty[] = "Cannot perform this operation on an empty dataset";
inline constexpr char SDataSetReadOnly[] = "Cannot modify a read-only dataset";
inline constexpr char SNotEditing[] = "Dataset not in edit or insert mode";
inline constexpr char SNotBrowsing[] = "Dataset not in browse mode";
inline constexpr char SFieldRequired[] = "Field '%s' must have a value";
inline constexpr char SFieldReadOnly[] = "Field '%s' cannot be modified";
inline constexpr char SFieldAccessError[] = "Cannot access field '%s' as type %s";
inline constexpr char SInvalidIntegerValue[] = "'%s' is not a valid integer value for field '%s'";
inline constexpr char SInvalidFloatValue[] = "'%s' is not a valid floating point value for field '%s'";
inline constexpr char SInvalidBoolValue[] = "'%s' is not a valid boolean value for field '%s'";
inline constexpr char SFieldRangeError[] =
    "%g is not a valid value for field '%s'. The allowed range is %g to %g";
inline constexpr char SFieldTypeMismatch[] = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr char SDuplicateFieldName[] = "Duplicate field name '%s'";
inline constexpr char SFieldNameMissing[] = "Field name missing";
inline constexpr char SDataSetMissing[] = "Field '%s' has no dataset";
inline constexpr char SFieldIndexError[] = "Field index out of range";
inline constexpr char SLookupInfoError[] = "Lookup information for field '%s' is incomplete";
inline constexpr char SCircularDataLink[] = "Circular datalinks are not allowed";
inline constexpr char SDataSourceChange[] = "DataSource cannot be changed";
inline constexpr char SNoRecords[] = "No Records";
inline constexpr char SRecordNotFound[] = "Record not found";
inline constexpr char SInvalidFieldSize[] = "Invalid field size";
inline constexpr char SUnknownFieldType[] = "Field '%s' is of an unknown type";
inline constexpr char SFieldValueError[] = "Invalid value for field '%s'";
inline constexpr char SFieldValueTooLong[] = "Field '%s' cannot hold %d characters: its size is %d";
inline constexpr char SNotSupported[] = "Operation not supported";
inline constexpr char SProviderSQLNotSupported[] = "SQL not supported";
inline constexpr char SParameterNotFound[] = "Parameter '%s' not found";
inline constexpr char SIndexNotFound[] = "Index '%s' not found";
inline constexpr char SDuplicateIndexName[] = "Duplicate index name '%s'";
inline constexpr char SBcdOverflow[] = "BCD overflow";
inline constexpr char STextTrue[] = "True";
inline constexpr char STextFalse[] = "False";
