#pragma once
// The production journal as the commands meet it: the station's own SQLite
// file, and, on a line of stations, the shared server. A run is opened on both
// when it starts and finished on both when it ends; a server that is away or
// silent never stops an update for longer than its time-out (the record waits
// on the station until a sync sends it), but a cycle does not start without its
// factory number reserved — on the station, whose own numbers always count, and
// on the server.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/JournalStore.h"
#include "journal/RunLock.h"

namespace mrk::journal {

struct JournalSettings {
    bool enabled = true;
    std::string station;   // this station's name
    std::string file;      // the station's SQLite journal
    std::string server;    // libpq connection string of the line's server; empty: one station
    int timeoutSeconds = 5;   // for every exchange with the server
    int fileWaitMs = 10000;   // for the station file while another process writes it
    std::string problem;   // what is wrong in the settings (a cycle is not started while it is)
    std::string folderToMake; // the journal's own folder, made by the first run that writes
    // The folder the journal's own folders are made in: never made by the journal (a
    // mistyped settings folder is not brought into being by a run).
    std::string folderBase;
    bool bench = false;       // the virtual bench's own journal
    // Numbers=FROM-TO: the factory numbers the line hands out, the next free one offered
    // to the operator and taken by `cycle --next`; 0-0: none (the operator types each).
    uint16_t numbersFrom = 0, numbersTo = 0;
    [[nodiscard]] bool HandsOutNumbers() const { return numbersFrom != 0; }
};

struct SyncReport {
    int sent = 0;
    int64_t waiting = 0;   // still on the station after the sync (the set-aside ones among them)
    int setAside = 0;      // refused by the server in this sync
    int conflicts = 0;     // sent, with a factory number another record holds
    std::string error;     // why the sync stopped, empty when all went
};

class ProductionJournal {
public:
    explicit ProductionJournal(JournalSettings s);
    ~ProductionJournal();

    const JournalSettings& Settings() const { return settings_; }
    // New settings (the window reads its settings file after it is made, and again
    // when its parameters window closes); stores reopen on use.
    void Configure(JournalSettings s);

    // Lines for the operator (journal trouble, refusals); the front end shows them in the log.
    std::function<void(const std::string&)> say;
    // Asked when the factory number is already taken: true = this is the same module, redone.
    std::function<bool(const JournalRecord& holder)> confirmRedo;

    // Opens a run's record. False only for a cycle whose factory number cannot be
    // reserved (taken and not confirmed, or no journal to reserve it in); why says so.
    [[nodiscard]] bool Start(JournalRecord rec, std::string& why);
    // Reserves a factory number about to be written into a module outside a cycle
    // (the identity stamp, ID words written by hand), as a cycle reserves its own;
    // false with why when it is taken (and not confirmed the same module) or cannot be reserved.
    [[nodiscard]] bool ReserveNumber(uint16_t number, std::string& why);
    // The lowest number of the range (Numbers=) that no station has reserved: on the
    // server and on this station, whose own numbers always count. None, with why,
    // when no range is set, every number of it is taken, or the journal cannot be asked.
    [[nodiscard]] std::optional<uint16_t> NextNumber(std::string& why);
    [[nodiscard]] bool Running() const { return run_.has_value(); }
    // The open record, for the caller to fill in as the run learns things.
    JournalRecord& Current() { return *run_; }
    void Log(const std::string& line);
    void Step(int step, const std::string& name, bool ok);
    // Ends the run with "OK" or "X".
    void Finish(const std::string& result);

    // Sends the station's finished waiting records to the server (at most limit of
    // them; 0: all, the set-aside ones tried again). A run that ends with the
    // server answering sends some of them by itself.
    SyncReport Sync(int limit = 0);

    // The stores, opened on first use (tried again after a failure); null with the
    // reason in error when they cannot be.
    JournalStore* Local(std::string& error);
    JournalStore* Server(std::string& error);
    // The station's file for reading only: nothing migrated, locked or made, so a
    // read-only file or a run writing it does not stop a look at it. Null with the
    // reason in error, which is empty when no run has made the file yet.
    std::unique_ptr<JournalStore> ReadLocal(std::string& error) const;

private:
    void Say(const std::string& line);
    void DropServer(const std::string& why);
    // Runs fn on the server; a connection that was lost since its last use (the
    // server restarted) is made again once. False with the reason when it fails.
    [[nodiscard]] bool OnServer(const std::function<void(JournalStore&)>& fn, std::string& error, bool& rejected);
    // what: the end of the refusal ("цикл не запущен").
    [[nodiscard]] bool Reserve(JournalRecord& rec, std::string& why, const char* what);
    [[nodiscard]] bool ClaimNumbers(JournalStore& local, std::string& error, bool fromStart);
    JournalSettings settings_;
    std::unique_ptr<JournalStore> local_, server_;
    bool serverFresh_ = false;
    bool serverRefused_ = false; // the last connection was refused by an answering server
    std::optional<JournalRecord> run_;
    RunLock runLock_;
    // Opens the run's record in the station file; false with localError_.
    bool TryOpenLocal();
    bool onLocal_ = false, onServer_ = false;
    bool localPending_ = false; // the record could not be opened on the station yet: it waits in memory
    bool localBehind_ = false;  // a step could not be written: it goes with the next write
    std::string localError_;
    size_t localLogDone_ = 0, serverLogDone_ = 0, localStepsDone_ = 0;
};

// A record's result as people are shown it: "OK", "X", "остановлена", "не закончена"
// (the stored values stay as they are: "OK", "X", "stopped", none).
std::string ResultText(const JournalRecord& r);
// "цикл" / "обновление".
const char* RunKindText(RunKind k);
// The record's identity as lists show it: the first characters of its uid.
std::string ShortUid(const JournalRecord& r);

} // namespace mrk::journal
