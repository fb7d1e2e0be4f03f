#include "common/TModal.h"

#include "common/TDialogFrame.h"

#include <QPointer>
#include <QTimer>

std::deque<TModal::Handler> &TModal::queue()
{
    static std::deque<Handler> q;
    return q;
}

int TModal::exec(QDialog *dlg)
{
    TDialogFrame::hold(dlg);
    if (!queue().empty()) {
        Handler h = std::move(queue().front());
        queue().pop_front();
        QPointer<QDialog> guard(dlg);
        QTimer::singleShot(0, dlg, [guard, h]() {
            if (guard)
                h(guard.data());
        });
    }
    return dlg->exec();
}

void TModal::push(Handler h) { queue().push_back(std::move(h)); }
size_t TModal::pending() { return queue().size(); }
void TModal::clear() { queue().clear(); }
