#pragma once
// One instance of a screen per process, as each screen unit keeps it: a flag
// set when the unit creates the form and cleared when the form closes or the
// package starts (Initialization), and a guarded pointer that empties itself
// when the form is deleted. The unit's own variables (boStCriado, frm...)
// are references to these members.

#include "host_application.h"

#include <QPointer>
#include <utility>

template <class Form>
struct SingleScreen {
    QPointer<Form> form;
    bool created = false;

    // The form, created on first use and again once it was closed.
    template <class... Args>
    Form *open(Args &&...args) {
        if (!created || !form) {
            form = HostApplication::instance().template CreateForm<Form>(std::forward<Args>(args)...);
            created = true;
        }
        return form;
    }
    // Modal over the main screen; back to its normal size if it stays open.
    void showModal() {
        form->ShowModal();
        if (form && form->isVisible()) form->SetWindowStateNormal();
    }
    void closed() { created = false; }
};
