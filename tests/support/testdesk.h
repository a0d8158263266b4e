#pragma once

#include "link/clientlink.h"
#include "desk/frontdesk.h"
#include "teststore.h"

#include <QSet>
#include <QStringList>
#include <optional>

// Records what billing sends to the machines that have a client: "ip word" per command
// ("ip word (every)" when it goes to every connection of the address) and "ip msgb text" per
// message box. Like the real link, it sends nothing to an address without a client.
class FakeLink final : public ClientLink
{
public:
    bool hasConnection(const QString &ip) const override;
    void SendCommand(const QString &ip, const QString &word, Reach reach) override;
    void sendMessageBox(const QString &ip, const QString &text) override;
    void flushPending() override {} // it holds nothing back

    // The addresses that have a client; when unset, every address that is not empty has one.
    std::optional<QSet<QString>> connected;
    QStringList sent;
};

// A front desk on a fresh store, talking to a fake link. Put the rows into `store`, then open().
struct TestDesk
{
    // With `serverConnection` the store is in that schema of a database server.
    explicit TestDesk(const QString &serverConnection = QString()) : store(serverConnection) {}

    TestStore store;
    FakeLink link;
    FrontDesk desk;

    // Opens the desk on the store, which builds the machine list, and gives it the link.
    void open();
    Database &db() { return desk.db(); }
    Machine machine(int position);
    void save(const Machine &machine);
};
