#pragma once
// The set-text of date fields: checks a typed date and stores it.

#include <QString>

class TField;

// Empty text, or the blank date mask, clears the field; an impossible date
// (31/02/2026) shows "Data inválida" and aborts with the field unchanged.
void CheckDateTime(TField &field, const QString &text);
