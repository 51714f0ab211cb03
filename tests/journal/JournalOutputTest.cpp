// What `journal list` and `journal export` write, byte for byte, for a small
// journal with every kind of value a manager's spreadsheet must survive: quotes,
// commas, line breaks, formula signs, Russian text, missing values, a killed run,
// a stopped one, a number conflict and a damaged record. Lists and exports are
// read by scripts and spreadsheets: a faster reader must write the same bytes.
// The list says kind and result in words; the CSV keeps the stored values.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/RunMrkprog.h"
#include "journal/JournalRig.h"

namespace mrk::journal {
namespace {

using test::RunMrkprog;
using test::TestEngine;

class JournalOutput : public ::testing::TestWithParam<TestEngine> {
protected:
    void SetUp() override {
        if (!journal_.Available()) GTEST_SKIP() << test::PgServer::SkipReason();
        std::ofstream ini(dir_.Path() / "mrkprog.ini");
        ini << "[Journal]\nStation=Линия-1\nFile=" << journal_.File() << "\n";
        if (GetParam() == TestEngine::Postgres) ini << "Server=" << journal_.Conninfo() << "\n";
        Fill(*journal_.Store());
    }

    static void Fill(JournalStore& store) {
        JournalRecord a;
        a.uid = "a1a1a1a1a1a1000000000000000000001";
        a.kind = RunKind::Cycle;
        a.station = "Линия-1";
        a.startedUtc = "2026-12-01T08:00:00Z";
        a.endedUtc = "2026-12-01T08:05:07Z";
        a.programmer = "LPT 378";
        a.chip = "PIC18F4620";
        a.devId1 = 0x0C;
        a.devId2 = 0x22;
        a.factoryNumber = 101;
        a.moduleNumber = 0x4D650065;
        a.imageName = "DATAARRAY1";
        a.imageSum1 = 0xA1;
        a.imageSum2 = 0x0B;
        a.bootPath = "boot, \"demo\".hex";
        a.bootSha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
        a.config = {0x00, 0x22, 0x0F};
        a.steps = {{1, "Стирание", true}, {2, "Конфигурация", true}, {12, "Загрузчик", false}};
        a.result = "X";
        a.log = {"Ошибка записи."};

        JournalRecord b;
        b.uid = "b2b2b2b2b2b2000000000000000000002";
        b.kind = RunKind::Update;
        b.station = "=cmd|' /C calc'!A0";
        b.startedUtc = "2026-12-01T09:00:00Z";
        b.endedUtc = "2026-12-01T09:01:00Z";
        b.programmer = "+USB Surtan";
        b.programmerSerial = "-FT12AB";
        b.chip = "PIC18F452";
        b.devId1 = 0xE0;
        b.devId2 = 0x05;
        b.imageName = "@образ\r\nвторая строка";
        b.bootPath = "\"в кавычках\"";
        b.steps = {{0, "Обновление", true}};
        b.result = "OK";
        b.redoOf = a.uid;

        JournalRecord c; // killed: never finished
        c.uid = "c3c3c3c3c3c3000000000000000000003";
        c.kind = RunKind::Cycle;
        c.station = "Линия-2";
        c.startedUtc = "2026-12-01T10:00:00Z";
        c.factoryNumber = 103;
        c.chip = "PIC18F4620";

        JournalRecord d; // stopped by the operator, its number held twice
        d.uid = "d4d4d4d4d4d4000000000000000000004";
        d.kind = RunKind::Cycle;
        d.station = "Линия-2";
        d.startedUtc = "2026-12-01T11:00:00Z";
        d.endedUtc = "2026-12-01T11:00:30Z";
        d.factoryNumber = 101;
        d.moduleNumber = 0x0;
        d.steps = {{1, "Стирание", true}};
        d.result = "stopped";

        JournalRecord e; // its configuration changed by hand into nonsense
        e.uid = "e5e5e5e5e5e5000000000000000000005";
        e.kind = RunKind::Update;
        e.station = "Линия-1";
        e.startedUtc = "2026-12-01T12:00:00Z";
        e.endedUtc = "2026-12-01T12:00:01Z";
        e.result = "OK";

        for (JournalRecord* r : {&a, &b, &c, &d, &e}) {
            ASSERT_TRUE(store.Open(*r, false).opened);
            if (r->Finished()) store.Finish(*r, 0, false);
        }
        store.MarkConflict(d.uid, a.uid);
        store.SetAside(b.uid, "сервер не принял, \"кодировка\"");
        store.Db().Exec("UPDATE runs SET config_hex = 'zz' WHERE uid = ?", {e.uid});
    }

    test::EngineJournal journal_{GetParam()};
    test::JournalDir dir_;
};

TEST_P(JournalOutput, ListIsTheSameByteForByte) {
    const auto r = RunMrkprog("journal list", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Запись        Начало (UTC)          Станция       Вид         Номер  Чип         Итог          Шаги\n"
              "a1a1a1a1a1a1  2026-12-01T08:00:00Z  Линия-1       цикл           101  PIC18F4620  X             1:ok 2:ok 12:X\n"
              "b2b2b2b2b2b2  2026-12-01T09:00:00Z  =cmd|' /C calc'!A0  обновление       -  PIC18F452   OK            0:ok"
              " отложена: сервер не принял, \"кодировка\"\n"
              "c3c3c3c3c3c3  2026-12-01T10:00:00Z  Линия-2       цикл           103  PIC18F4620  не закончена  \n"
              "d4d4d4d4d4d4  2026-12-01T11:00:00Z  Линия-2       цикл           101  -           остановлена   1:ok"
              " конфликт номера с a1a1a1a1a1a1\n"
              "Записей: 4\n"
              "Пропущено повреждённых записей: 1\n");
    EXPECT_NE(r.err.find("пропущена повреждённая запись: запись 5 (e5e5e5e5e5e5000000000000000000005): неверное значение config_hex 'zz'"),
              std::string::npos)
        << r.err;
}

TEST_P(JournalOutput, ExportIsTheSameByteForByte) {
    const auto r = RunMrkprog("journal export --csv out.csv", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Записей: 4, файл out.csv\nПропущено повреждённых записей: 1\n");
    EXPECT_EQ(test::ReadAll(dir_.Path() / "out.csv"),
              "\xEF\xBB\xBF"
              "id,kind,station,started_utc,ended_utc,result,factory_number,module_number,chip,devid1,devid2,"
              "programmer,programmer_serial,image,image_sum1,image_sum2,boot_path,boot_sha256,config,steps,redo_of,uid\r\n"
              "1,cycle,Линия-1,2026-12-01T08:00:00Z,2026-12-01T08:05:07Z,X,101,4D650065,PIC18F4620,0C,22,LPT 378,,"
              "DATAARRAY1,A1,0B,\"boot, \"\"demo\"\".hex\","
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855,00 22 0F,1:ok 2:ok 12:X,,"
              "a1a1a1a1a1a1000000000000000000001\r\n"
              "2,update,\"'=cmd|' /C calc'!A0\",2026-12-01T09:00:00Z,2026-12-01T09:01:00Z,OK,,,PIC18F452,E0,05,"
              "\"'+USB Surtan\",\"'-FT12AB\",\"'@образ\r\nвторая строка\",00,00,\"\"\"в кавычках\"\"\",,,0:ok,"
              "a1a1a1a1a1a1000000000000000000001,b2b2b2b2b2b2000000000000000000002\r\n"
              "3,cycle,Линия-2,2026-12-01T10:00:00Z,,не закончена,103,,PIC18F4620,00,00,,,,00,00,,,,,,"
              "c3c3c3c3c3c3000000000000000000003\r\n"
              "4,cycle,Линия-2,2026-12-01T11:00:00Z,2026-12-01T11:00:30Z,stopped,101,00000000,,00,00,,,,00,00,,,,"
              "1:ok,,d4d4d4d4d4d4000000000000000000004\r\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, JournalOutput, ::testing::Values(TestEngine::Sqlite, TestEngine::Postgres),
                         test::EngineName);

} // namespace
} // namespace mrk::journal
