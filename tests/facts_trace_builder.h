// Writes optimizer traces for the facts and comparison tests: one traced
// statement laid out as a real trace lays it out, with knobs for the ways
// traces of different releases and sizes differ.
#pragma once

#include <string>
#include <vector>

struct StatementSpec {
  std::string sqlId = "7hq2m4rzk0x1d";
  std::string planHash = "-1907313524";
  std::string sql = "select e.last_name, d.department_name from employees e join departments d using (department_id)";
  std::vector<std::string> altered = {"_pga_max_size                       = 409600 KB"};
  std::vector<std::string> defaults = {"optimizer_mode_hinted               = false",
                                       "optimizer_features_enable           = 19.1.0",
                                       "cpu_count                           = 8",
                                       "optimizer_mode                      = all_rows"};
  std::vector<std::string> fixes = {"    fix  3834770 = 1       ", "    fix  3746511 = enabled",
                                    "    fix  4519016 = disabled"};
  std::string cost = "79.311486";
  std::string card = "119.000000";
  std::string bytes = "19022.000000";
  bool interrupted = false;  // time stamps and blank lines inside every list
  bool cutBeforeDump = false;
  bool wrapJoinOrder = false;  // the best join order's tables go on over two lines
  bool firstRowsPlan = false;  // a second final cost for "First K Rows Plan"
  std::string hintExtra;       // one more outline hint
  std::string timestamp = "*** 2021-03-15T09:41:07.118204+01:00 (HRPDB(4))";
};

inline std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

inline std::string traceHeader(const std::string& process = "48213") {
  return joinLines({"Trace file /u02/app/oracle/diag/rdbms/hrdb/hrdb1/trace/hrdb1_ora_" + process + ".trc",
                    "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production",
                    "Instance name: hrdb1", "Oracle process number: 61",
                    "Unix process pid: " + process + ", image: oracle@hrdb-node1.example.org", ""});
}

// One statement: registration, parameters, transformations, the search of
// two query blocks, the SQL dump, plan, outline and state dump.
inline std::string statementTrace(const StatementSpec& s) {
  std::vector<std::string> l;
  const std::string stamp = "*** 2021-03-15T09:41:08.000001+01:00";
  auto gap = [&] {
    if (!s.interrupted) return;
    l.push_back(stamp);
    l.push_back("");
  };
  l.push_back(s.timestamp);
  l.push_back("Registered qb: SEL$1 0x7f3a12c8 (PARSER)");
  l.push_back("---------------------");
  l.push_back("----- Current SQL Statement for this session (sql_id=" + s.sqlId + ") -----");
  l.push_back(s.sql);
  l.push_back("*******************************************");
  l.push_back("***************************************");
  l.push_back("PARAMETERS USED BY THE OPTIMIZER");
  l.push_back("********************************");
  l.push_back("  *************************************");
  l.push_back("  PARAMETERS WITH ALTERED VALUES");
  l.push_back("  ******************************");
  l.push_back("Compilation Environment Dump");
  for (const std::string& p : s.altered) {
    l.push_back(p);
    gap();
  }
  l.push_back("Bug Fix Control Environment");
  l.push_back("");
  l.push_back("  *************************************");
  l.push_back("  PARAMETERS WITH DEFAULT VALUES");
  l.push_back("  ******************************");
  l.push_back("Compilation Environment Dump");
  for (const std::string& p : s.defaults) {
    l.push_back(p);
    gap();
  }
  l.push_back("  ***************************************");
  l.push_back("  PARAMETERS IN OPT_PARAM HINT");
  l.push_back("  ****************************");
  l.push_back("***************************************");
  l.push_back("Column Usage Monitoring is ON: tracking level = 1");
  l.push_back("Considering Query Transformations on query block SEL$1 (#0)");
  l.push_back("JPPD: Updated best state, Cost = 64.01");
  l.push_back("ORE: cost of the OR-expanded query block SEL$1 (#0) is worse cost than the original");
  l.push_back("Final query after transformations:******* UNPARSED QUERY IS *******");
  l.push_back("SELECT \"E\".\"LAST_NAME\" \"LAST_NAME\" FROM \"HR\".\"EMPLOYEES\" \"E\"");
  l.push_back("kkoqbc: optimizing query block SEL$2 (#1)");
  l.push_back("Join order[1]:  EMPLOYEES[E2]#0");
  l.push_back("***********************");
  l.push_back("Best so far:  Table#: 0  cost: 35.117231  card: 10700.000000  bytes: 74900.000000");
  l.push_back("Final cost for query block SEL$2 (#1) - All Rows Plan:");
  gap();
  l.push_back("  Best join order: 1");
  gap();
  l.push_back("  Cost: 36.404018  Degree: 1  Card: 11.000000  Bytes: 77.000000");
  l.push_back("  Resc: 36.404018  Resc_io: 35.000000  Resc_cpu: 4901247");
  l.push_back("kkoqbc: optimizing query block SEL$1 (#0)");
  l.push_back("Join order[1]:  EMPLOYEES[E]#0  DEPARTMENTS[D]#1");
  l.push_back("");
  l.push_back("Best so far:  Table#: 0  cost: 35.1  card: 10700.0  bytes: 900.0");
  l.push_back("              Table#: 1  cost: 90.2  card: 106.0  bytes: 1800.0");
  l.push_back("Join order[2]:  DEPARTMENTS[D]#1  EMPLOYEES[E]#0");
  if (s.wrapJoinOrder) l.back() = "Join order[2]:  DEPARTMENTS[D]#1";
  if (s.wrapJoinOrder) l.push_back("                EMPLOYEES[E]#0");
  l.push_back("***************");
  l.push_back("Now joining: EMPLOYEES[E]#0");
  gap();
  l.push_back("Best so far:  Table#: 1  cost: 3.0  card: 27.0  bytes: 300.0");
  gap();
  l.push_back("              Table#: 0  cost: " + s.cost + "  card: " + s.card + "  bytes: " + s.bytes);
  l.push_back("Join order[3]:  EMPLOYEES[E]#0  LOCATIONS[L]#2");
  l.push_back("Join order aborted: cost > best plan cost");
  l.push_back("Join order aborted: cost > best plan cost");
  l.push_back("Final cost for query block SEL$1 (#0) - All Rows Plan:");
  l.push_back("  Best join order: 2");
  l.push_back("  Cost: " + s.cost + "  Degree: 1  Card: " + s.card + "  Bytes: " + s.bytes);
  if (s.firstRowsPlan) {
    l.push_back("Join order[1]:  EMPLOYEES[E]#0  DEPARTMENTS[D]#1");
    l.push_back("Final cost for query block SEL$1 (#0) - First K Rows Plan:");
    l.push_back("  Best join order: 1");
    l.push_back("  Cost: 40.5  Degree: 1  Card: 10.0  Bytes: 300.0");
  }
  l.push_back("kkoqbc: finish optimizing query block SEL$1 (#0)");
  if (s.cutBeforeDump) return joinLines(l);
  l.push_back("Starting SQL statement dump");
  l.push_back("");
  l.push_back("user_id=104 user_name=HR module=SQL*Plus action=");
  gap();
  l.push_back("sql_id=" + s.sqlId + " plan_hash_value=" + s.planHash + " problem_type=3");
  l.push_back("----- Current SQL Statement for this session (sql_id=" + s.sqlId + ") -----");
  l.push_back(s.sql);
  l.push_back("sql_text_length=97");
  l.push_back("----- Explain Plan Dump -----");
  l.push_back("----- Plan Table -----");
  l.push_back("");
  l.push_back("============");
  l.push_back("Plan Table");
  l.push_back("============");
  l.push_back("-------------------------------------+-----------------------------------+");
  l.push_back("| Id  | Operation          | Name        | Rows  | Bytes | Cost  | Time      |");
  l.push_back("-------------------------------------+-----------------------------------+");
  l.push_back("| 0   | SELECT STATEMENT   |             |       |       |    79 |           |");
  l.push_back("| 1   |  HASH JOIN         |             |   119 |   19K |    79 |  00:00:01 |");
  gap();
  l.push_back("| 2   |   TABLE ACCESS FULL| DEPARTMENTS |    27 |   945 |     3 |  00:00:01 |");
  l.push_back("| 3   |   TABLE ACCESS FULL| EMPLOYEES   |   10K |  1176K|    35 |  00:00:01 |");
  l.push_back("-------------------------------------+-----------------------------------+");
  l.push_back("Content of other_xml column");
  l.push_back("  Outline Data:");
  l.push_back("  /*+");
  l.push_back("    BEGIN_OUTLINE_DATA");
  l.push_back("      IGNORE_OPTIM_EMBEDDED_HINTS");
  gap();
  l.push_back("      LEADING(@\"SEL$1\" \"D\"@\"SEL$1\" \"E\"@\"SEL$1\")");
  if (!s.hintExtra.empty()) l.push_back("      " + s.hintExtra);
  l.push_back("    END_OUTLINE_DATA");
  l.push_back("  */");
  l.push_back("");
  l.push_back("Optimizer state dump:");
  l.push_back("Compilation Environment Dump");
  l.push_back("optimizer_mode_hinted               = false");
  l.push_back("Bug Fix Control Environment");
  for (const std::string& f : s.fixes) {
    l.push_back(f);
    gap();
  }
  l.push_back("Query Block Registry:");
  l.push_back("SEL$1 0x7f3a12c8 (PARSER) [FINAL]");
  l.push_back("End of Optimizer State Dump");
  l.push_back("====================== END SQL Statement Dump ======================");
  return joinLines(l);
}

inline std::string withCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}
