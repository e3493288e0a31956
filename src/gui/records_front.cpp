#include "gui/records_front.h"

#include <QCoreApplication>
#include <QEvent>

namespace clinora {

namespace {

// An event of the records thread on its way to the user-interface thread.
class RecordsQtEvent final : public QEvent {
public:
    explicit RecordsQtEvent(records::RecordsEvent e) : QEvent(Type()), event(std::move(e)) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const records::RecordsEvent event;
};

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

RecordsFront::RecordsFront(const QString& workingFolder, const QString& historyServer,
                           records::RecordsThread::Options options, QObject* parent)
    : QObject(parent), server_(historyServer) {
    options.historyServer = historyServer.toStdString();
    // Called on the records thread and the sender's: only posts.
    thread_ = std::make_unique<records::RecordsThread>(
        workingFolder.toStdString(),
        [this](const records::RecordsEvent& e) {
            QCoreApplication::postEvent(this, new RecordsQtEvent(e));
        },
        options);
}

// The thread ends first: it stores what it can, keeps the rest as files and
// posts nothing more.
RecordsFront::~RecordsFront() { thread_.reset(); }

void RecordsFront::keep(std::vector<records::Record> records) {
    if (!records.empty()) thread_->record(std::move(records));
}

void RecordsFront::list(const records::RecordFilter& filter, Answer answer) {
    const int64_t ticket = thread_->list(filter);
    if (answer) answers_[ticket] = std::move(answer);
}

void RecordsFront::pair(const records::CertificateRequest& request, Answer answer) {
    const int64_t ticket = thread_->pair(request);
    if (answer) answers_[ticket] = std::move(answer);
}

bool RecordsFront::event(QEvent* event) {
    if (event->type() != RecordsQtEvent::Type()) return QObject::event(event);
    take(static_cast<RecordsQtEvent*>(event)->event);
    return true;
}

void RecordsFront::take(const records::RecordsEvent& e) {
    using Type = records::RecordsEvent::Type;
    switch (e.type) {
        case Type::Stored:
            ++stored_;
            kept_ = e.kept;
            if (kept_ == 0) keptReason_.clear();
            emit recordStored();
            emit statusChanged();
            return;
        case Type::Kept: {
            const bool first = kept_ == 0;
            kept_ = std::max<int64_t>(e.kept, 1);
            keptReason_ = Q(e.message);
            if (first) emit recordsKept(keptReason_);
            emit statusChanged();
            return;
        }
        case Type::Sync:
            synced_ = true;
            sync_ = e.sync;
            emit statusChanged();
            return;
        case Type::Listed:
        case Type::Found:
        case Type::Checked:
        case Type::Paired:
        case Type::Failed: {
            const auto it = answers_.find(e.ticket);
            if (it == answers_.end()) return;
            const Answer answer = std::move(it->second);
            answers_.erase(it);
            answer(e);
            return;
        }
    }
}

QString RecordsFront::statusText() const {
    QString text;
    if (kept_ > 0) {
        text = (kept_ == 1 ? QString("1 record is") : QString("%1 records are").arg(kept_)) +
               " not stored yet: " + keptReason_;
    } else if (stored_ > 0) {
        text = stored_ == 1 ? QString("1 record stored.")
                            : QString("%1 records stored.").arg(stored_);
    }
    if (!server_.isEmpty() && synced_) {
        QString server;
        if (!sync_.error.empty())
            server = QString("History server not reached (%1); %2 waiting to be sent.")
                         .arg(Q(sync_.error))
                         .arg(sync_.pending);
        else if (sync_.pending > 0)
            server = QString("History server: %1 waiting to be sent.").arg(sync_.pending);
        else
            server = "History server: every record sent.";
        text = text.isEmpty() ? server : text + " " + server;
    }
    return text;
}

bool RecordsFront::trouble() const {
    return kept_ > 0 || (!server_.isEmpty() && synced_ && !sync_.error.empty());
}

}  // namespace clinora
