// The application looks (the style of every window), stored per user under "ApplicationLook".
#pragma once

#include <QString>
#include <vector>

namespace sorbel::shell {

inline constexpr int kFirstLook = 210;
inline constexpr int kLastLook = 218;
inline constexpr int kDefaultLook = 215;

struct LookChoice {
  int id;
  QString name;
};

// 210 to 218 in order, with the names the menu shows.
std::vector<LookChoice> lookChoices();

// Applies a look to the whole application at once; any other value gives
// the default look.
void applyLook(int look);

int storedLook();
void storeLook(int look);

}  // namespace sorbel::shell
