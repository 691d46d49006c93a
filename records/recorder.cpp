#include "recorder.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

namespace orn::records {

namespace {


// The newer of two UTC texts (they sort as times).
const std::string& Later(const std::string& a, const std::string& b) { return a < b ? b : a; }

} // namespace

void MergeHistory(THistory& into, const THistory& other, int limit) {
    std::set<std::string> seen;
    for (const TServiceRecord& r : into.services) seen.insert(r.uuid);
    for (const TServiceRecord& r : other.services)
        if (seen.insert(r.uuid).second) into.services.push_back(r);
    std::stable_sort(into.services.begin(), into.services.end(),
                     [](const TServiceRecord& a, const TServiceRecord& b) { return a.atUtc > b.atUtc; });
    if (int(into.services.size()) > limit) into.services.resize(size_t(limit));

    std::map<std::pair<std::string, int64_t>, TInstrumentDue*> byKey;
    for (TInstrumentDue& d : into.instruments) byKey[{d.model, d.serial}] = &d;
    std::vector<TInstrumentDue> added;
    for (const TInstrumentDue& o : other.instruments) {
        auto it = byKey.find({o.model, o.serial});
        if (it == byKey.end()) {
            added.push_back(o);
            continue;
        }
        TInstrumentDue& d = *it->second;
        if (o.lastServiceUtc > d.lastServiceUtc) {
            d.lastAddress = o.lastAddress;
            if (!o.lastSite.empty()) d.lastSite = o.lastSite;
        }
        if (o.monthsSetUtc > d.monthsSetUtc) {
            d.months = o.months;
            d.monthsSetUtc = o.monthsSetUtc;
        }
        d.lastServiceUtc = Later(d.lastServiceUtc, o.lastServiceUtc);
        d.lastCalibrationUtc = Later(d.lastCalibrationUtc, o.lastCalibrationUtc);
    }
    into.instruments.insert(into.instruments.end(), added.begin(), added.end());
    std::sort(into.instruments.begin(), into.instruments.end(), [](const TInstrumentDue& a, const TInstrumentDue& b) {
        return a.serial != b.serial ? a.serial < b.serial : a.model < b.model;
    });
}

TRecorder::TRecorder(TRecorderOptions options) : options_(std::move(options)) {
    server_ = options_.server;
    state_.serverSet = !server_.empty();
    writer_ = std::thread([this] { WriterLoop(); });
    sender_ = std::thread([this] { SenderLoop(); });
    reader_ = std::thread([this] { ReaderLoop(); });
}

TRecorder::~TRecorder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    writerWake_.notify_all();
    senderWake_.notify_all();
    readerWake_.notify_all();
    writer_.join();
    sender_.join();
    reader_.join();
}

void TRecorder::SetOnChange(std::function<void()> onChange) {
    std::lock_guard<std::mutex> lock(mutex_);
    onChange_ = std::move(onChange);
}

void TRecorder::Changed() {
    std::function<void()> f;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        f = onChange_;
    }
    progress_.notify_all();
    if (f) f();
}

void TRecorder::Submit(TServiceRecord record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        TItem item;
        item.service = std::move(record);
        queue_.push_back(std::move(item));
        state_.unwritten = int(queue_.size());
    }
    writerWake_.notify_all();
}

void TRecorder::SubmitInterval(TIntervalRecord record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        TItem item;
        item.isInterval = true;
        item.interval = std::move(record);
        queue_.push_back(std::move(item));
        state_.unwritten = int(queue_.size());
    }
    writerWake_.notify_all();
}

void TRecorder::SetServer(const std::string& server) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        server_ = server;
        serverChanged_ = true;
        sendNow_ = true;
        state_.serverSet = !server.empty();
        state_.serverReachable = false;
        state_.serverError.clear();
        state_.serverNewer = 0;
    }
    senderWake_.notify_all();
    Changed();
}

void TRecorder::RetryNow() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        retry_ = true;
        sendNow_ = true;
    }
    writerWake_.notify_all();
    senderWake_.notify_all();
}

TRecorderState TRecorder::State() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

std::vector<TServiceRecord> TRecorder::Unwritten() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TServiceRecord> out;
    for (const TItem& item : queue_)
        if (!item.isInterval) out.push_back(item.service);
    return out;
}

int TRecorder::Backoff(int failures) const {
    int ms = options_.retryMs;
    for (int i = 1; i < failures && ms < options_.maxRetryMs; ++i) ms *= 2;
    return std::min(ms, options_.maxRetryMs);
}

std::unique_ptr<TRecordStore> TRecorder::OpenLocal(std::string& error, int& newer) {
    return OpenStore(OpenSqlite(options_.localPath, error), options_.program, error, newer);
}

std::unique_ptr<TRecordStore> TRecorder::OpenServer(const std::string& server, std::string& error, int& newer) {
    return OpenStore(OpenPostgres(server, options_.timeoutMs, error, &stop_), options_.program, error, newer);
}

// ---------------------------------------------------------------- writer

void TRecorder::WriterLoop() {
    std::unique_ptr<TRecordStore> store;
    int failures = 0;
    bool failedAtStop = false;
    for (;;) {
        TItem item;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (failures == 0) {
                writerWake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            } else {
                // After a failure: again when the pause is over, or when asked.
                writerWake_.wait_for(lock, std::chrono::milliseconds(Backoff(failures)),
                                     [&] { return stop_ || retry_; });
            }
            // When stopping, what is still queued is written first, once.
            if (stop_ && (queue_.empty() || failedAtStop)) return;
            retry_ = false;
            if (queue_.empty()) continue;
            item = queue_.front();
        }
        std::string error;
        int newer = 0;
        if (!store) store = OpenLocal(error, newer);
        bool ok = false;
        if (store) {
            ok = item.isInterval ? store->AppendInterval(item.interval) : store->Append(item.service);
            if (!ok) {
                error = store->Error();
                // The file may have gone with its medium: open it afresh next time.
                store.reset();
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (ok) {
                queue_.pop_front();
                ++state_.written;
                state_.localError.clear();
                sendNow_ = true;
                failures = 0;
            } else {
                state_.localError = error;
                ++failures;
                failedAtStop = stop_;
            }
            state_.localNewer = newer;
            state_.unwritten = int(queue_.size());
        }
        if (ok) senderWake_.notify_all();
        Changed();
    }
}

// ---------------------------------------------------------------- sender

void TRecorder::SenderLoop() {
    std::unique_ptr<TRecordStore> local, server;
    int failures = 0;
    for (;;) {
        std::string conninfo;
        {
            // New records, another server or a retry start a delivery at
            // once; after a failure it is tried again when the pause is over,
            // and otherwise every maxRetryMs for what other programs (orn10ctl)
            // left in the outbox.
            std::unique_lock<std::mutex> lock(mutex_);
            const int pause = failures ? Backoff(failures) : options_.maxRetryMs;
            senderWake_.wait_for(lock, std::chrono::milliseconds(pause),
                                 [&] { return stop_ || serverChanged_ || (sendNow_ && !server_.empty()); });
            if (stop_) return;
            if (serverChanged_) {
                server.reset();
                serverChanged_ = false;
                failures = 0;
            }
            sendNow_ = false;
            if (server_.empty()) continue;
            conninfo = server_;
        }
        std::string error;
        int newer = 0;
        if (!local) local = OpenLocal(error, newer);
        newer = 0;
        if (local && !server) server = OpenServer(conninfo, error, newer);
        int delivered = 0;
        const bool ok = local && server && Deliver(*local, *server, delivered, error, &stop_);
        int64_t waiting = -1;
        if (local && !local->OutboxCount(waiting)) local.reset();
        if (!ok) server.reset();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // What was found for a server that is no longer the one set means nothing.
            if (conninfo != server_) continue;
            state_.delivered += delivered;
            if (waiting >= 0) state_.waiting = waiting;
            state_.serverReachable = ok;
            state_.serverError = ok ? "" : error;
            state_.serverNewer = newer;
            failures = ok ? 0 : failures + 1;
        }
        Changed();
    }
}

// ---------------------------------------------------------------- reader

void TRecorder::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    readerWake_.notify_all();
}

void TRecorder::ReaderLoop() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            readerWake_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            if (stop_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

void TRecorder::Query(const TQuery& q, std::function<void(THistory)> done) {
    Post([this, q, done = std::move(done)] {
        THistory h;
        int newer = 0;
        if (!readerLocal_) readerLocal_ = OpenLocal(h.error, newer);
        if (readerLocal_ && !(readerLocal_->Overview(q, h.instruments) && readerLocal_->Services(q, h.services))) {
            h.error = readerLocal_->Error();
            readerLocal_.reset();
        }
        std::string server;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            server = server_;
        }
        if (server.empty()) {
            done(std::move(h));
            return;
        }
        // The local file first, then the team's records merged in.
        h.final = false;
        done(h);
        h.final = true;
        if (server != readerServerString_) readerServer_.reset();
        readerServerString_ = server;
        if (!readerServer_) readerServer_ = OpenServer(server, h.serverError, newer);
        THistory team;
        if (readerServer_ && readerServer_->Overview(q, team.instruments) &&
            readerServer_->Services(q, team.services)) {
            MergeHistory(h, team, q.limit);
            h.fromServer = true;
        } else if (readerServer_) {
            h.serverError = readerServer_->Error();
            readerServer_.reset();
        }
        done(std::move(h));
    });
}

void TRecorder::TestServer(const std::string& server, std::function<void(std::string error)> done) {
    Post([this, server, done = std::move(done)] {
        std::string error;
        int newer = 0;
        const auto store = OpenServer(server, error, newer);
        done(store ? "" : error);
    });
}

bool TRecorder::WaitUntil(const std::function<bool(const TRecorderState&)>& done, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return progress_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(state_); });
}

bool TRecorder::WaitDelivered(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return progress_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return queue_.empty() && !server_.empty() && state_.serverReachable && state_.waiting == 0 && !sendNow_;
    });
}

} // namespace orn::records
