// Writes the demo database that the README's run command opens: a small shop with keys, modules and history.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "lob_builder.h"
#include "synthetic_database.h"
#include "value_bytes.h"

namespace {

using namespace sorbel::testing;

const char* const kFirstNames[] = {"Maria", "Ana", "Antonio", "Thomas", "Christina", "Hanna", "Frédérique", "Martín",
                                   "Laurence", "Elizabeth", "Victoria", "Patricio", "Francisco", "Yang", "Pedro"};
const char* const kLastNames[] = {"Anders", "Trujillo", "Moreno", "Hardy", "Berglund", "Moos", "Citeaux", "Sommer",
                                  "Lebihan", "Lincoln", "Ashworth", "Simpson", "Chang", "Wang", "Afonso"};
const char* const kCities[] = {"Berlin", "México D.F.", "London", "Luleå", "Mannheim", "Strasbourg", "Madrid",
                               "Marseille", "Tsawassen", "Buenos Aires", "Bern", "São Paulo"};
const char* const kProducts[] = {"Chai", "Chang", "Aniseed Syrup", "Chef Anton's Cajun Seasoning", "Grandma's Boysenberry Spread",
                                 "Uncle Bob's Organic Dried Pears", "Northwoods Cranberry Sauce", "Mishi Kobe Niku",
                                 "Ikura", "Queso Cabrales", "Konbu", "Tofu", "Genen Shouyu", "Pavlova"};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: sorbel_demo_db OUTPUT.mdf\n", stderr);
    return 1;
  }
  try {
    SyntheticDatabase db;
    db.addFile({1, "demo", "C:\\data\\demo.mdf"});

    auto& customers = db.addTable(2001, "Customers",
                                  {typedColumn("CustomerID", 239, 10, 0, 0, false), typedColumn("CompanyName", 231, 80, 0, 0, false),
                                   typedColumn("ContactName", 231, 60), typedColumn("City", 231, 30),
                                   typedColumn("Active", 104, 1), typedColumn("Joined", 61, 8)});
    customers.primaryKeyId = 2101;
    customers.primaryKeyName = "PK_Customers";
    customers.keyColumns = {1};
    for (int i = 0; i < 40; ++i) {
      const std::string id = std::string(1, static_cast<char>('A' + i % 26)) + std::to_string(1000 + i);
      std::vector<Cell> row = {value(utf16(id)), value(utf16(std::string(kLastNames[i % 15]) + " Trading " + std::to_string(i))),
                               value(utf16(std::string(kFirstNames[i % 15]) + " " + kLastNames[(i * 7) % 15])),
                               value(utf16(kCities[i % 12])), value({static_cast<std::uint8_t>(i % 3 != 0)}),
                               value(datetimeBytes(1995 + i % 10, 1 + i % 12, 1 + i % 28))};
      if (i % 9 == 4) row[3] = nullValue();
      customers.rows.push_back(row);
    }
    customers.ghostRows = {7, 23};  // deleted customers, still on the page

    auto& products = db.addTable(2002, "Products",
                                 {intColumn("ProductID", false), typedColumn("ProductName", 167, 40, 0, 0, false),
                                  typedColumn("UnitPrice", 60, 8, 19, 4), typedColumn("Weight", 106, 9, 10, 3),
                                  typedColumn("Discontinued", 104, 1, 0, 0, false), typedColumn("Code", 165, 16)});
    products.primaryKeyId = 2102;
    products.primaryKeyName = "PK_Products";
    products.keyColumns = {1};
    for (int i = 0; i < 60; ++i) {
      products.rows.push_back({value(int32Bytes(i + 1)), value(textBytes(std::string(kProducts[i % 14]) + (i >= 14 ? " " + std::to_string(i / 14 + 1) : ""))),
                               value(moneyBytes(10000LL * (5 + i * 3) + 2500 * (i % 4))), value(decimalBytes(250 + i * 125)),
                               value({static_cast<std::uint8_t>(i % 11 == 0)}), value({0xC0, static_cast<std::uint8_t>(i)})});
    }

    auto& orders = db.addTable(2003, "Orders",
                               {intColumn("OrderID", false), typedColumn("CustomerID", 239, 10), intColumn("ProductID"),
                                typedColumn("Quantity", 52, 2, 5), typedColumn("OrderDate", 61, 8),
                                typedColumn("ShipCity", 231, 30), typedColumn("Note", 167, 100)});
    orders.primaryKeyId = 2103;
    orders.primaryKeyName = "PK_Orders";
    orders.keyColumns = {1};
    for (int i = 0; i < 3000; ++i) {
      const int customer = (i * 13) % 40;
      const std::string id = std::string(1, static_cast<char>('A' + customer % 26)) + std::to_string(1000 + customer);
      std::vector<Cell> row = {value(int32Bytes(10248 + i)), value(utf16(id)), value(int32Bytes(1 + (i * 7) % 60)),
                               value(int16Bytes(static_cast<std::int16_t>(1 + i % 40))),
                               value(datetimeBytes(1996 + i / 1200, 1 + (i / 100) % 12, 1 + i % 28, 8 + i % 10, (i * 7) % 60)),
                               value(utf16(kCities[(i * 5) % 12])), value(textBytes(i % 4 ? "" : "Deliver before noon, please"))};
      if (i % 4) row[6] = nullValue();
      orders.rows.push_back(row);
    }
    orders.ghostRows = {100, 101, 2500};
    orders.forwardedRows = {5, 700};

    // Large values stored off the row: ntext, varchar(max) and image.
    LobWriter lobs(db.primary());
    auto& notes = db.addTable(2004, "ProductNotes",
                              {intColumn("ProductID", false), typedColumn("Description", 99, 16),
                               typedColumn("Manual", 167, -1), typedColumn("Label", 34, 16)});
    for (int i = 0; i < 6; ++i) {
      std::string description = std::string(kProducts[i]) + ": ";
      for (int k = 0; k < 200 * (i + 1); ++k) description += "Tasting note " + std::to_string(k) + ". ";
      std::string manual;
      for (int k = 0; k < 1000; ++k) manual += "Step " + std::to_string(k) + ": keep cool and dry.\r\n";
      Bytes label = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61};
      for (int k = 0; k < 40; ++k) label.push_back(static_cast<std::uint8_t>(i * 40 + k));
      notes.rows.push_back({value(int32Bytes(i + 1)),
                            complexValue(LobWriter::textPointer(lobs.addRootedValue(utf16(description)))),
                            complexValue(LobWriter::inRowRoot(lobs.addData(textBytes(manual)))),
                            complexValue(LobWriter::textPointer(lobs.addRootedValue(label)))});
    }

    db.addObject({2201, "FK_Orders_Customers", "F ", 2003});
    db.addObject({2202, "FK_Orders_Products", "F ", 2003});
    db.addForeignKey({2201, 2003, 2001, {{2, 1}}});
    db.addForeignKey({2202, 2003, 2002, {{3, 1}}});

    db.addObject({2301, "CustomerOrders", "V "});
    db.addModuleText(2301, "CREATE VIEW CustomerOrders AS\r\nSELECT c.CompanyName, o.OrderID, o.OrderDate\r\n"
                           "FROM Customers c JOIN Orders o ON o.CustomerID = c.CustomerID\r\n");
    db.addObject({2302, "OrdersByCustomer", "P "});
    db.addModuleText(2302, "CREATE PROCEDURE OrdersByCustomer @CustomerID nchar(5)\r\nAS\r\n");
    db.addModuleText(2302, "SELECT OrderID, OrderDate, Quantity FROM Orders\r\nWHERE CustomerID = @CustomerID\r\n");
    db.addObject({2303, "OrderTotal", "FN"});
    db.addModuleText(2303, "CREATE FUNCTION OrderTotal(@OrderID int) RETURNS money\r\nAS BEGIN\r\n"
                           "  RETURN (SELECT o.Quantity * p.UnitPrice FROM Orders o JOIN Products p ON p.ProductID = o.ProductID\r\n"
                           "          WHERE o.OrderID = @OrderID)\r\nEND\r\n");
    db.addObject({2304, "trOrdersInsert", "TR", 2003});
    db.addModuleText(2304, "CREATE TRIGGER trOrdersInsert ON Orders AFTER INSERT AS\r\nSET NOCOUNT ON\r\n");
    db.addObject({2305, "DF_Orders_Quantity", "D ", 2003});
    db.addModuleText(2305, "((1))");
    db.addObject({2306, "CK_Orders_Quantity", "C ", 2003});
    db.addModuleText(2306, "([Quantity]>(0))");
    db.addObject({2307, "CK_Products_UnitPrice", "C ", 2002});
    db.addModuleText(2307, "([UnitPrice]>=(0))");

    db.write(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot write %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
