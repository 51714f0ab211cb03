#pragma once
// The production journal as the commands meet it: the station's own SQLite
// file, and, on a line of stations, the shared server. A run is opened on both
// when it starts and finished on both when it ends; a server that is away never
// stops an update (its record waits on the station until a sync sends it), but a
// cycle does not start without its factory number reserved.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/JournalStore.h"

namespace mrk::journal {

struct JournalSettings {
    bool enabled = true;
    std::string station;   // this station's name
    std::string file;      // the station's SQLite journal
    std::string server;    // libpq connection string of the line's server; empty: one station
};

struct SyncReport {
    int sent = 0;
    int waiting = 0;       // still on the station after the sync
    std::string error;     // why the sync stopped, empty when all went
};

class ProductionJournal {
public:
    explicit ProductionJournal(JournalSettings s);
    ~ProductionJournal();

    const JournalSettings& Settings() const { return settings_; }
    // New settings (the window reads its settings file after it is made); stores reopen on use.
    void Configure(JournalSettings s);

    // Lines for the operator (journal trouble, refusals); the front end shows them in the log.
    std::function<void(const std::string&)> say;
    // Asked when the factory number is already taken: true = this is the same module, redone.
    std::function<bool(const JournalRecord& holder)> confirmRedo;

    // Opens a run's record. False only for a cycle whose factory number cannot be
    // reserved (taken and not confirmed, or no journal to reserve it in); why says so.
    bool Start(JournalRecord rec, std::string& why);
    bool Running() const { return run_.has_value(); }
    // The open record, for the caller to fill in as the run learns things.
    JournalRecord& Current() { return *run_; }
    void Log(const std::string& line);
    void Step(int step, const std::string& name, bool ok);
    // Ends the run with "OK" or "X".
    void Finish(const std::string& result);

    // Sends the station's waiting records to the server (at most limit of them; 0: all).
    // A run that ends with the server answering sends some of them by itself.
    SyncReport Sync(int limit = 0);

    // The stores, opened on first use; null with the reason in error when they cannot be.
    JournalStore* Local(std::string& error);
    JournalStore* Server(std::string& error);

private:
    void Say(const std::string& line);
    void DropServer(const std::string& why);
    JournalSettings settings_;
    std::unique_ptr<JournalStore> local_, server_;
    std::string localError_;
    bool localTried_ = false;
    std::optional<JournalRecord> run_;
    bool onLocal_ = false, onServer_ = false;
    size_t localLogDone_ = 0, serverLogDone_ = 0;
};

// "OK"/"X"/"не закончена" for a record's result.
std::string ResultText(const JournalRecord& r);

} // namespace mrk::journal
