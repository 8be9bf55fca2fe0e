#include "Workstation.h"

CWorkstation::CWorkstation(connection& conn, CSystem& system)
    : MeterList(conn, system, Tables, State, Folders, Progress), Series(system, Tables, State),
      Results(system, Tables, State),
      ResultTables(system, Tables, State), Pairs(conn, system, Tables, State, Folders, Progress, MeterList)
{
    Series.SetResults(&Results);
    Series.SetBeforeBaseModel([this] { MeterList.KeepOwnModels(); });
}
