// The interval checks of the discount bands, for both lists. The overlap
// questions go to the application server, which knows every band of the
// price table; each answer replaces the content of its own answer table.
#include "band_checks.h"
#include "method_names.h"
#include "value_limits.h"

#include "db_grid.h"
#include "dialogs.h"
#include "errors.h"
#include "module_state.h"
#include "page_host.h"
#include "routines.h"

#include <QScopedValueRollback>

using namespace Cli_cot00300;

namespace {

bool g_placingCursor = false;

// Every check question shows the wait animation over the main window and
// hides it again, also when the call fails.
void Ask(TPageHost &f, TClientTable *answer, const QString &method, const QVector<RpcArg> &args) {
    f.loadTable(answer, method, args, WaitKind::OverMainWindow);
}

// The text of one answer field on the answer's current row; empty when the
// answer has no row.
QString AnswerText(TClientTable *answer, const QString &field) {
    if (!answer->Active() || answer->RecordCount() == 0) return QString();
    return answer->FieldByName(field)->AsString();
}

bool Selected(const BandSide &s, const QString &fieldName) {
    TField *sel = s.grid->SelectedField();
    return sel && sel->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0;
}

// The quantity before the edit under way, in stored form.
QString OldQuantity(TField *field) {
    const QVariant old = field->OldValue();
    return old.isValid() && !old.isNull() ? BandChecks::Padded(old.toString()) : QString();
}

}  // namespace

namespace BandChecks {

QString Filled(const QString &text, const QString &value) {
    QString out = text;
    return out.replace(QStringLiteral("%s"), value);
}

bool WholeNumber(const QString &text, qint64 *out) {
    bool ok = false;
    const qint64 n = AllTrim(text).toLongLong(&ok);
    if (ok && out) *out = n;
    return ok;
}

QString Padded(const QString &text) { return Ajusta(text, 5); }

void PadField(TField *field) {
    const QString text = field->AsString();
    if (EmptyString(text) || !field->DataSet()->IsEditing()) return;
    const QString padded = Padded(text);
    if (padded != text) field->SetAsString(padded);
}

bool PlacingCursor() { return g_placingCursor; }

void Refuse(TField *field, const QString &text) {
    {
        QScopedValueRollback<bool> placing(g_placingCursor, true);
        field->FocusControl();
    }
    MensErro(text, true);
    throw EAbort();
}

QString ListPriceTable(TPageHost &f, const BandSide &s) {
    // The list may have been loaded for another price table than the one the
    // price table list now stands on: a band belongs to the list it is shown in.
    TClientTable *t = s.table;
    TField *code = t->FieldByName(QStringLiteral("CDPRECOPROP"));
    if (t->State() == DataSetState::Edit) {
        const QString own = AllTrim(code->OldValue().toString());
        if (!own.isEmpty()) return own;
    }
    const int insertRow = t->State() == DataSetState::Insert ? t->viewCurrentRow() : -1;
    for (int row = 0; row < t->viewRowCount(); ++row) {
        if (row == insertRow) continue;
        const QString other = AllTrim(t->viewValue(row, code->Index()).toString());
        if (!other.isEmpty()) return other;
    }
    // An empty list: the price table it was loaded for.
    if (s.list && !s.list->loadedFor().isEmpty()) return s.list->loadedFor();
    return f.currentPriceTable();
}

void RequiredValues(TPageHost &f, const BandSide &s, bool show) {
    TClientTable *t = s.table;
    TField *first = t->FieldByName(s.firstField);
    TField *last = t->FieldByName(s.lastField);
    TField *percent = t->FieldByName(s.percentField);
    const QString firstText = first->AsString();
    const QString lastText = last->AsString();
    const bool firstMissing = EmptyString(firstText);
    const bool lastMissing = EmptyString(lastText);
    const bool percentMissing = percent->IsNull() || EmptyString(percent->AsString());

    qint64 n = 0;
    // A first quantity that does not read as a number is no quantity above 0.
    const bool firstZero = !firstMissing && (!WholeNumber(firstText, &n) || n == 0);
    const bool lastTooLarge = !lastMissing && WholeNumber(lastText, &n) && n > s.largestLast;
    const bool percentTooLarge = !percentMissing && percent->AsFloat() > Limits::MaxPercent;

    const struct {
        bool fails;
        TField *field;
        QString key;
    } items[] = {
        {firstMissing, first, s.msgFirstMissing},   {lastMissing, last, s.msgLastMissing},
        {percentMissing, percent, QStringLiteral("VRDESC_INF")}, {firstZero, first, QStringLiteral("QTINI_MAIOR")},
        {lastTooLarge, last, s.msgLastTooLarge},     {percentTooLarge, percent, QStringLiteral("VRDESC_MAIOR")},
    };
    for (const auto &item : items) {
        if (!item.fails) continue;
        if (!show) return;
        Refuse(item.field, f.messages().Msg(item.key));
    }

    PadField(first);
    Ask(f, s.sameStartAnswer, s.sameStartMethod, {ListPriceTable(f, s), first->AsString()});
    if (!HasRows(s.sameStartAnswer)) return;
    const QString duplicate = f.messages().Msg(QStringLiteral("QTINI_CAD_TBPRECO"));
    if (t->State() == DataSetState::Edit) {
        // The band itself answers while its first quantity is the one it had.
        if (AnswerText(s.sameStartAnswer, s.firstField) != *s.rememberedFirst) Refuse(first, duplicate);
    } else if (t->State() == DataSetState::Insert) {
        Refuse(first, duplicate);
    }
}

void NewBand(TPageHost &f, const BandSide &s) {
    TClientTable *t = s.table;
    if (t->State() != DataSetState::Insert) return;
    TField *first = t->FieldByName(s.firstField);
    TField *last = t->FieldByName(s.lastField);

    if (Selected(s, s.firstField) && !EmptyString(first->AsString())) {
        PadField(first);
        Ask(f, s.intervalAnswer, s.intervalMethod, {QStringLiteral("I"), ListPriceTable(f, s), first->AsString(), QString()});
        const QString inside = AnswerText(s.intervalAnswer, s.intervalField);
        if (!EmptyString(inside)) Refuse(first, Filled(f.messages().Msg(QStringLiteral("INTERV_INI_N_PODE")), inside));
    }

    if (Selected(s, s.lastField) && !EmptyString(last->AsString())) {
        PadField(last);
        const QString code = ListPriceTable(f, s);
        Ask(f, s.intervalAnswer, s.intervalMethod, {QStringLiteral("I"), code, last->AsString(), QString()});
        const QString inside = AnswerText(s.intervalAnswer, s.intervalField);
        if (!EmptyString(inside)) Refuse(last, Filled(f.messages().Msg(QStringLiteral("INTERV_FIN_N_PODE")), inside));

        Ask(f, s.intervalAnswer, s.intervalMethod, {QStringLiteral("F"), code, QString(), last->AsString()});
        const QString enclosing = AnswerText(s.intervalAnswer, s.intervalField);
        qint64 largestFirst = 0, firstNumber = 0;
        // An answer that is no number refuses nothing.
        if (!EmptyString(enclosing) && !EmptyString(first->AsString()) && WholeNumber(enclosing, &largestFirst) &&
            WholeNumber(first->AsString(), &firstNumber) && firstNumber <= largestFirst)
            Refuse(last, Filled(f.messages().Msg(QStringLiteral("INTERV_FIN_N_MAIOR")), enclosing));
    }
}

void ChangedLast(TPageHost &f, const BandSide &s) {
    TClientTable *t = s.table;
    if (t->State() != DataSetState::Edit || !Selected(s, s.lastField)) return;
    TField *first = t->FieldByName(s.firstField);
    TField *last = t->FieldByName(s.lastField);
    if (EmptyString(first->AsString()) || EmptyString(last->AsString())) return;

    PadField(last);
    const QString code = ListPriceTable(f, s);
    const QString firstNow = Padded(first->AsString());
    Ask(f, s.changedLastAnswer, s.changedLastMethod, {code, last->AsString(), first->AsString()});
    if (!HasRows(s.changedLastAnswer) || last->AsString() == OldQuantity(last)) return;

    // The server leaves out the band that starts at the first quantity given.
    // When the first quantity was changed in this same edit, the band being
    // edited still starts at its stored one and may be the band answered: it
    // cannot overlap itself, so the question is asked again leaving it out.
    const QString storedFirst = OldQuantity(first);
    if (!storedFirst.isEmpty() && storedFirst != firstNow &&
        Padded(AnswerText(s.changedLastAnswer, s.firstField)) == storedFirst) {
        Ask(f, s.changedLastAnswer, s.changedLastMethod, {code, last->AsString(), storedFirst});
        if (!HasRows(s.changedLastAnswer)) return;
    }

    const QString otherFirst = AnswerText(s.changedLastAnswer, s.firstField);
    const QString otherLast = AnswerText(s.changedLastAnswer, s.lastField);
    qint64 mine = 0, other = 0;
    const bool below = WholeNumber(firstNow, &mine) && WholeNumber(otherFirst, &other) && mine > other;
    if (below)
        Refuse(last, Filled(f.messages().Msg(QStringLiteral("INTERV_FIN_N_PODE")), otherFirst + QStringLiteral(" e ") + otherLast));
    Refuse(last, Filled(f.messages().Msg(QStringLiteral("INTERV_FIN_N_MAIOR")), otherFirst));
}

void ChangedFirst(TPageHost &f, const BandSide &s) {
    if (!f.inFront(s.page)) return;
    TClientTable *t = s.table;
    TField *first = t->FieldByName(s.firstField);
    if (EmptyString(first->AsString()) || t->State() != DataSetState::Edit || !Selected(s, s.firstField)) return;

    Ask(f, s.largestEndBelowAnswer, Method::getQtMaxFin,
        {ListPriceTable(f, s), RpcArg::ref(&inQtIniAux), QStringLiteral("EDIT")});
    qint64 largestEndBelow = 0, firstNumber = 0;
    // An answer that is no number refuses nothing.
    if (!WholeNumber(AnswerText(s.largestEndBelowAnswer, s.largestEndBelowField), &largestEndBelow)) return;
    if (!WholeNumber(first->AsString(), &firstNumber)) return;
    if (Padded(first->AsString()) == OldQuantity(first) || largestEndBelow < firstNumber) return;

    first->SetAsString(Padded(QString::number(inQtIniAux)));
    Refuse(first, Filled(f.messages().Msg(QStringLiteral("INTER_N_MENOR")), QString::number(inQtIniAux)));
}

}  // namespace BandChecks

// ---------------------------------------------------------------- the page's routines

void TBandsPage::vd_QTINISISTEMAS(bool show) { BandChecks::RequiredValues(f, Systems(), show); }
void TBandsPage::vd_QTINIUSUARIOS(bool show) { BandChecks::RequiredValues(f, Users(), show); }
void TBandsPage::vd_IntervSis() { BandChecks::NewBand(f, Systems()); }
void TBandsPage::vd_IntervUsu() { BandChecks::NewBand(f, Users()); }
void TBandsPage::vd_VdFinSistEdit() { BandChecks::ChangedLast(f, Systems()); }
void TBandsPage::vd_VdFinUsuEdit() { BandChecks::ChangedLast(f, Users()); }

// One routine for both lists: the band sheet in front says which (the check
// itself acts only while its own sheet is in front).
void TBandsPage::vd_QtMaxFin(bool) {
    BandChecks::ChangedFirst(f, Systems());
    BandChecks::ChangedFirst(f, Users());
}
