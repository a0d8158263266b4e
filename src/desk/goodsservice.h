#pragma once

#include "common/result.h"
#include "goods/catalogue.h"
#include "serviceoperator.h"
#include "store/goodsrows.h"

#include <QList>

class CommandPath;
class Database;

// What the goods catalogue, the counter sale and the goods order windows read and save.
// Looking and selling are anyone's; adding, changing and deleting articles ask the right of the
// operator at the desk at every call.
class GoodsService final
{
public:
    GoodsService(Database &db, CommandPath &commands, ServiceOperator at);

    QList<Article> articles() const;
    // Whether the operator at the desk now may add, change and delete articles.
    bool mayEdit() const;
    Result<QString> nextArticleNumber() const;
    // Adds an article (`rowid` 0) or changes article `rowid`, whose stock was shown as
    // `shownStock` when the editing began.
    Result<Article> saveArticle(qint64 rowid, const Catalogue::ArticleInput &input, double shownStock);
    Result<> checkRemovable(const Article &article) const;
    Result<> removeArticle(const Article &article);
    // "零售": sells `quantity` of `article` over the counter now.
    Result<GoodsSale> sell(const Article &article, int quantity);

private:
    Database &m_db;
    CommandPath &m_commands;
    ServiceOperator m_at;
};
