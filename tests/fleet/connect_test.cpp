// zorvan-cli push and fleet meeting servers that refuse them, databases
// without the fleet's tables, with another program's or with the tables of
// the first version, and a server that has something to say.

#include "fleet/fleet_schema.h"
#include "fleet_fixture.h"

#include <QFile>

using namespace fleet_test;

namespace {

auto* const Cluster = ::testing::AddGlobalTestEnvironment(new PgCluster);

constexpr int ExitCodeUsage = 2;
constexpr int ExitCodeDatabase = 4;

class FleetConnect : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(PgCluster::Instance(), nullptr);
        db_ = PgCluster::Instance()->NewDatabase();
        ASSERT_FALSE(db_.isEmpty());
        ASSERT_TRUE(home_.isValid());
    }
    [[nodiscard]] CliRun Run(const QString& command, const QStringList& args = {},
                             const Variables& variables = {}) const {
        return RunCli(QStringList{command} + args, home_.path(), {}, variables);
    }
    [[nodiscard]] CliRun Page() const {
        return Run(QStringLiteral("fleet"), {QStringLiteral("--db"), db_, QStringLiteral("--out"),
                                             home_.path() + QStringLiteral("/page")});
    }
    void Sql(const QString& sql) const {
        PgConnection c;
        ASSERT_TRUE(c.Connect(db_)) << c.Error().toStdString();
        ASSERT_TRUE(c.Exec(sql).ok) << c.Error().toStdString() << " in " << sql.toStdString();
    }
    QString db_;
    QTemporaryDir home_;
};

TEST_F(FleetConnect, RefusalsAreToldApart) {
    ASSERT_TRUE(
        PgCluster::Instance()->AddPasswordRole(QStringLiteral("keeper"), QStringLiteral("secret")));
    const QString database =
        db_.section(QStringLiteral("dbname="), 1).section(QLatin1Char(' '), 0, 0);
    Sql(QStringLiteral("GRANT CREATE ON DATABASE %1 TO keeper").arg(database));
    auto passfile = [this](const QString& name, const QByteArray& line) {
        const QString path = home_.path() + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(line) == line.size());
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return Variables{{QStringLiteral("PGPASSFILE"), path}};
    };
    const Variables right = passfile(QStringLiteral("right"), "*:*:*:keeper:secret\n");
    const Variables wrong = passfile(QStringLiteral("wrong"), "*:*:*:keeper:guess\n");
    const Variables none = passfile(QStringLiteral("none"), "");
    const QString keeper = PgCluster::Instance()->ConnInfo(database, QStringLiteral("keeper"));
    const QStringList init{QStringLiteral("--init"), QStringLiteral("--db")};

    CliRun run = Run(QStringLiteral("push"), init + QStringList{keeper}, right);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

    const struct {
        const char* name;
        QString conninfo;
        Variables variables;
        QString said;
    } cases[] = {
        {"wrong password", keeper, wrong,
         QStringLiteral("zorvan-cli: the server refused the login: ")},
        {"no password", keeper, none,
         QStringLiteral("zorvan-cli: no password: put it into ~/.pgpass as the README shows\n")},
        {"no such database",
         PgCluster::Instance()->ConnInfo(QStringLiteral("nosuch"), QStringLiteral("keeper")), right,
         QStringLiteral("zorvan-cli: the server has no such database: ")},
        {"no server", QStringLiteral("host=") + home_.path() + QStringLiteral(" dbname=x"), right,
         QStringLiteral("zorvan-cli: cannot reach the database: ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& command : {QStringLiteral("push"), QStringLiteral("fleet")}) {
            run = command == QStringLiteral("push")
                      ? Run(command, init + QStringList{c.conninfo}, c.variables)
                      : Run(command,
                            {QStringLiteral("--db"), c.conninfo, QStringLiteral("--out"),
                             home_.path() + QStringLiteral("/page")},
                            c.variables);
            EXPECT_EQ(run.exitCode, ExitCodeDatabase) << run.err.toStdString();
            EXPECT_TRUE(run.err.startsWith(c.said)) << run.err.toStdString();
            EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        }
    }
}

// A look at an empty database makes nothing there, and says to push first.
TEST_F(FleetConnect, ALookAtAnEmptyDatabaseMakesNothing) {
    const CliRun run = Page();
    EXPECT_EQ(run.exitCode, ExitCodeUsage) << run.err.toStdString();
    EXPECT_EQ(run.err, QStringLiteral("zorvan-cli: no fleet data here yet: push first\n"));
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname = "
                                         "'zorvan'")),
              0);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON "
                                         "n.oid = c.relnamespace WHERE n.nspname = 'public'")),
              0);
    EXPECT_FALSE(QFile::exists(home_.path() + QStringLiteral("/page/index.html")));
}

// Another program's schema_version in "public" is not ours.
TEST_F(FleetConnect, AForeignSchemaVersionIsNotTakenForOurs) {
    Sql(QStringLiteral("CREATE TABLE public.schema_version (version integer NOT NULL)"));
    Sql(QStringLiteral("INSERT INTO public.schema_version VALUES (1)"));
    CliRun run = Page();
    EXPECT_EQ(run.exitCode, ExitCodeUsage) << run.err.toStdString();
    AddToArchive(home_.path(), 1, {{SumSlot(0), Sum(0)}});
    run = Run(QStringLiteral("push"), {QStringLiteral("--db"), db_});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 1);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT max(version) FROM zorvan.schema_version")),
              FleetSchema::Version);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM public.schema_version WHERE "
                                         "version = 1")),
              1);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON "
                                         "n.oid = c.relnamespace WHERE n.nspname = 'public'")),
              1);
    run = Page();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

// The tables as the first version made them, in "public".
const char* const FirstVersion[] = {
    "CREATE TABLE schema_version (version integer NOT NULL)",
    "INSERT INTO schema_version VALUES (1)",
    "CREATE TABLE cranes (id bigserial PRIMARY KEY, key text NOT NULL UNIQUE, identification "
    "bytea NOT NULL, first_read bigint NOT NULL, last_read bigint NOT NULL)",
    "CREATE TABLE visits (id bigserial PRIMARY KEY, crane bigint NOT NULL REFERENCES cranes(id), "
    "started bigint NOT NULL, computer text NOT NULL, user_name text NOT NULL, com_port integer "
    "NOT NULL, memory smallint, outcome text, UNIQUE (crane, started, computer, user_name, "
    "com_port))",
    "CREATE TABLE event_records (crane bigint NOT NULL REFERENCES cranes(id), address integer NOT "
    "NULL, bytes bytea NOT NULL, time timestamp, reason smallint NOT NULL, weight smallint, reach "
    "smallint, first_read bigint NOT NULL, last_read bigint NOT NULL, com_port integer NOT NULL, "
    "PRIMARY KEY (crane, address, bytes))",
    "CREATE TABLE sum_records (crane bigint NOT NULL REFERENCES cranes(id), address integer NOT "
    "NULL, bytes bytea NOT NULL, time timestamp, weight smallint, reach smallint, total_weight "
    "integer, total_cycles integer, first_read bigint NOT NULL, last_read bigint NOT NULL, "
    "com_port integer NOT NULL, PRIMARY KEY (crane, address, bytes))",
    "CREATE INDEX sum_records_newest ON sum_records (crane, time DESC NULLS LAST)",
    "CREATE TABLE event_months (crane bigint NOT NULL REFERENCES cranes(id), month date NOT "
    "NULL, reason smallint NOT NULL, records integer NOT NULL, PRIMARY KEY (crane, month, "
    "reason))",
    "CREATE TABLE sum_cycles (crane bigint NOT NULL REFERENCES cranes(id), year integer NOT NULL, "
    "weight smallint NOT NULL, cycles integer NOT NULL, oldest timestamp, newest timestamp, "
    "PRIMARY KEY (crane, year, weight))",
    "INSERT INTO cranes (key, identification, first_read, last_read) VALUES ('old', '\\x20', 1, "
    "2)",
    "INSERT INTO sum_records SELECT 1, 65536 + 16 * n, int4send(n), '2026-01-01'::timestamp + n "
    "* interval '1 minute', 10, 25, c, c, 1, 2, 3 FROM (VALUES (0, 10), (1, 11), (2, 5)) v(n, c)",
    "INSERT INTO sum_cycles VALUES (1, 2026, 10, 3, '2026-01-01 00:00', '2026-01-01 00:02')",
};

// A database the first version made: a look leaves it as it is; the next
// push moves its tables into "zorvan" and brings them up to date.
TEST_F(FleetConnect, TheFirstVersionsTablesMoveIntoTheirSchema) {
    for (const char* statement : FirstVersion)
        Sql(QString::fromLatin1(statement));
    CliRun run = Page();
    EXPECT_EQ(run.exitCode, ExitCodeDatabase) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("the next push"))) << run.err.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM public.cranes")), 1);

    AddToArchive(home_.path(), 1, {{SumSlot(0), Sum(0)}});
    run = Run(QStringLiteral("push"), {QStringLiteral("--db"), db_});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON "
                                         "n.oid = c.relnamespace WHERE n.nspname = 'public'")),
              0);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT max(version) FROM zorvan.schema_version")),
              FleetSchema::Version);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 2);
    // The old records in the order of their clock; the counter's samples of them.
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT (string_agg(seq || ':' || cycles, ' ' ORDER BY "
                                         "seq) = '1:10 2:11 3:5')::int FROM "
                                         "zorvan.counter_samples WHERE crane = 1")),
              1);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT sum_seq FROM zorvan.cranes WHERE id = 1")), 3);
    run = Page();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

// What the server says besides its answers reaches standard error; --init
// with something to push is a mistake.
TEST_F(FleetConnect, TheServersWarningsReachStandardError) {
    CliRun run =
        Run(QStringLiteral("push"), {QStringLiteral("--init"), QStringLiteral("--db"), db_});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    Sql(QStringLiteral("CREATE FUNCTION public.checked() RETURNS trigger LANGUAGE plpgsql AS $$ "
                       "BEGIN RAISE WARNING 'checked by the fleet office'; RETURN NEW; END $$"));
    Sql(QStringLiteral("CREATE TRIGGER checked BEFORE INSERT ON zorvan.cranes FOR EACH ROW "
                       "EXECUTE FUNCTION public.checked()"));
    AddToArchive(home_.path(), 1, {{SumSlot(0), Sum(0)}});
    run = Run(QStringLiteral("push"), {QStringLiteral("--db"), db_});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QStringLiteral(
                           "zorvan-cli: the server says: WARNING: checked by the fleet office\n"));

    const QString image = home_.path() + QStringLiteral("/one.img");
    run =
        Run(QStringLiteral("push"), {QStringLiteral("--init"), QStringLiteral("--db"), db_, image});
    EXPECT_EQ(run.exitCode, ExitCodeUsage) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("--init"))) << run.err.toStdString();
}

} // namespace
