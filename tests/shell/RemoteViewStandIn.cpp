// A stand-in for the remote view while the real one has not landed: a settings button and a
// text field that shows while the session's text entry does, asking for a re-fit when it does.
// Built into the shell's tests only when src/shell/RemoteView.cpp is missing.

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/AppStore.hpp"
#include "shell/RemoteView.hpp"

namespace orvel {

namespace {

struct SubscriptionHolder : QObject {
    using QObject::QObject;
    Subscription subscription;
};

}  // namespace

RemoteView::RemoteView(AppStore& store, Actions actions, QWidget* parent) : QWidget(parent) {
    setFixedWidth(280);
    auto* layout = new QVBoxLayout(this);
    auto* settings = new QPushButton(QStringLiteral("Orvel Settings…"), this);
    settings->setObjectName(QStringLiteral("settings"));
    connect(settings, &QPushButton::clicked, this,
            [show = std::move(actions.showSettings)] { show(); });
    auto* field = new QLineEdit(this);
    field->setVisible(store.state().textEntryVisible);
    layout->addWidget(settings);
    layout->addWidget(field);
    auto* holder = new SubscriptionHolder(this);
    int focusRequest = store.state().focusTextRequest;
    holder->subscription = store.observe(
        [this, field, &store, focusRequest, resize = std::move(actions.resize)]() mutable {
            const bool visible = store.state().textEntryVisible;
            if (field->isVisibleTo(this) != visible) {
                field->setVisible(visible);
                resize();
            }
            if (visible && store.state().focusTextRequest != focusRequest) field->setFocus();
            focusRequest = store.state().focusTextRequest;
        });
}

RemoteView::~RemoteView() = default;

RemoteTextEntry* RemoteView::textEntry() const {
    return nullptr;
}

bool RemoteView::editingText() const {
    return false;
}

}  // namespace orvel
