#pragma once

#include "common/result.h"
#include "store/goodsrows.h"

#include <QString>

class Database;

// The goods catalogue (spkcb) as the goods dialog changes it.
namespace Catalogue {

// An article as typed in the edit frame: the number fields as text.
struct ArticleInput
{
    QString name;
    QString cost;  // 进货价格
    QString price; // 零售价格
    QString stock; // 库存数量
};

// The number a new article gets: the smallest free one, eight digits (00000001).
QString nextArticleNumber(Database &db);

// Appends an article under the next free number (taken when it is written, so two adds can
// never share one). Number fields count by their leading number.
Result<Article> add(Database &db, const ArticleInput &input);

// Writes name and prices of the article `rowid`; its stock moves by what the operator
// changed (typed − `shownStock`, the stock shown when the edit began), so goods ordered from
// the PCs meanwhile stay taken from it.
Result<Article> modify(Database &db, qint64 rowid, const ArticleInput &input, double shownStock);

// What the operator is told after such a modify when an order changed the stock between the
// edit's start and the save, so the figure saved is not the one typed:
// "库存数量已被其他操作改动，已按改动后的数量保存：N". Empty when the stock was not changed here
// or nothing moved it meanwhile.
QString stockMovedNotice(const ArticleInput &input, double shownStock, const Article &saved);

// Whether the article may go: not once it has been sold, nor while a running session has
// ordered it. The refusal is the operator's message.
Result<> checkRemovable(Database &db, const Article &article);
// Deletes the article `rowid`, checking again.
Result<> remove(Database &db, qint64 rowid);

// The question asked before a delete.
QString removeQuestion(const Article &article);

} // namespace Catalogue
