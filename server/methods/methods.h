#pragma once
// The remote methods of "Cot00300.rdmTbPreProCom", one family per file.

class MethodRegistry;

namespace Methods {

void registerPriceTables(MethodRegistry &registry);   // price_tables.cpp
void registerBands(MethodRegistry &registry);         // bands.cpp: bands and band checks
void registerPermissions(MethodRegistry &registry);   // permissions.cpp
void registerServiceTypes(MethodRegistry &registry);  // service_types.cpp: types and operator discounts
void registerReports(MethodRegistry &registry);       // reports.cpp
void registerOperators(MethodRegistry &registry);     // operators.cpp: operators and automatic registration
void registerHistory(MethodRegistry &registry);       // history.cpp: who changed a price table, and what
void registerNamedQueries(MethodRegistry &registry);  // named_queries.cpp: the desktop's look-ups by name
void registerAccess(MethodRegistry &registry);        // access.cpp: what the calling person may do
void registerCombinedReads(MethodRegistry &registry); // combined_reads.cpp: a list and one row's detail at once (after the others)

inline void registerAll(MethodRegistry &registry) {
    registerPriceTables(registry);
    registerBands(registry);
    registerPermissions(registry);
    registerServiceTypes(registry);
    registerReports(registry);
    registerOperators(registry);
    registerHistory(registry);
    registerNamedQueries(registry);
    registerAccess(registry);
    registerCombinedReads(registry);
}

}  // namespace Methods
