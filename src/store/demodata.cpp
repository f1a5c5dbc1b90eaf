#include "store/demodata.h"

#include "store/connection.h"
#include "store/idnumber.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cmath>
#include <vector>

namespace {

// splitmix64: small, fast and the same everywhere.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<quint64>(n)); }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T> const T &pick(const std::vector<T> &items) { return items[below(static_cast<int>(items.size()))]; }

private:
    quint64 m_state;
};

const std::vector<QString> kSurnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙",
                                        "马", "朱", "胡", "郭", "何", "林", "高", "罗", "郑", "梁", "谢", "宋"};
const std::vector<QString> kGiven = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳",
                                     "杰", "娟", "涛", "明", "超", "秀英", "霞", "平", "刚", "桂英", "建华", "志强",
                                     "海燕", "晓东", "丹", "鹏", "慧", "宇"};
const std::vector<QString> kCompanies = {"华信贸易有限公司", "东方电子科技", "长城建设集团", "新世纪物流",
                                         "远洋国际旅行社", "恒泰证券",       "天元律师事务所", "明德中学",
                                         "康泰医药",         "中兴机械厂",     "个体",           ""};
const std::vector<QString> kTitles = {"经理", "总监", "工程师", "会计", "教师", "销售", "主任", ""};
const std::vector<QString> kCities = {"北京", "上海", "广州", "深圳", "成都", "重庆", "西安", "杭州",
                                      "南京", "武汉", "昆明", "厦门", "青岛", "大连", "三亚", "乌鲁木齐"};
const std::vector<QString> kAbroad = {"东京", "首尔", "新加坡", "曼谷", "悉尼", "伦敦", "巴黎", "纽约"};
const std::vector<QString> kAirlines = {"国航", "东航", "南航", "海航", "厦航", "深航", "川航", "山航", "上航", "国泰"};
const std::vector<QString> kAirlineCodes = {"CA", "MU", "CZ", "HU", "MF", "ZH", "3U", "SC", "FM", "CX"};
const std::vector<QString> kClerks = {"王芳", "李娜", "张伟", "刘洋", "陈静"};
const std::vector<QString> kCouriers = {"赵强", "孙磊", "周杰", "吴昊"};
const std::vector<QString> kCabins = {"Y", "Y", "Y", "B", "H", "K", "M", "C", "F"};
const std::vector<QString> kLevels = {"普通卡", "普通卡", "普通卡", "银卡", "银卡", "金卡", "白金卡"};
const std::vector<QString> kOperators = {"admin", "王芳"};
const std::vector<QString> kWindows = {"客户档案", "编码设置", "操作员设置", "操作员日志"};

const QDate kFirstDay(2016, 12, 1);
constexpr int kDays = 3652;

QString isoDate(const QDate &d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

QString cardNumber(int index)
{
    return QStringLiteral("88%1").arg(index + 1, 8, 10, QLatin1Char('0'));
}

} // namespace

void DemoData::generate(Connection &db, const DemoSize &size, quint64 seed)
{
    Random rnd(seed);
    const int customers = std::max(1, size.customers);

    Statement customer = db.prepare("INSERT INTO hyda (kh,xm,sfzh,xb,csrq,sj,dh,dw,zw,dz,yb,email,hyjb,cyhk,bz,lxr,jsjf,djrc,"
                           "hyzt,djr) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (int i = 0; i < customers; ++i) {
        const bool male = rnd.chance(55);
        const QDate born = QDate(1950, 1, 1).addDays(rnd.below(365 * 52));
        const QDate registered = kFirstDay.addDays(rnd.below(kDays));
        const QString name = rnd.pick(kSurnames) + rnd.pick(kGiven);
        QStringList liked;
        for (int a = 0; a < rnd.below(3); ++a)
            liked << rnd.pick(kAirlines) + QLatin1Char(' ');
        // A resident number that checks out, its sequence odd for men; drawn as
        // before, so the rest of the sample stays as it was.
        const QString place = QString::number(110101 + rnd.below(500000));
        const int sequence = rnd.below(9000) + 1000;
        const int sexDigit = male ? (sequence % 10) | 1 : (sequence % 10) & ~1;
        const QString first17 = place + born.toString(QStringLiteral("yyyyMMdd"))
                                + QString::number(sequence / 10 % 100).rightJustified(2, QLatin1Char('0'))
                                + QString::number(sexDigit);
        customer.bind(1, cardNumber(i))
            .bind(2, name)
            .bind(3, first17 + IdNumber::checkCharacter(first17))
            .bind(4, male ? QStringLiteral("男") : QStringLiteral("女"))
            .bind(5, isoDate(born))
            .bind(6, QStringLiteral("13%1").arg(rnd.below(1000000000), 9, 10, QLatin1Char('0')))
            .bind(7, rnd.chance(40) ? QStringLiteral("010-%1").arg(60000000 + rnd.below(30000000)) : QString())
            .bind(8, rnd.pick(kCompanies))
            .bind(9, rnd.pick(kTitles))
            .bind(10, rnd.pick(kCities) + QStringLiteral("市") + QString::number(rnd.below(300) + 1) + QStringLiteral("号"))
            .bind(11, QString::number(100000 + rnd.below(800000)))
            .bind(12, QStringLiteral("member%1@example.com").arg(i + 1))
            .bind(13, rnd.pick(kLevels))
            .bind(14, liked.join(QString()))
            .bind(15, rnd.chance(10) ? QStringLiteral("喜靠窗座位") : QString())
            .bind(16, rnd.chance(20) ? rnd.pick(kSurnames) + rnd.pick(kGiven) : QString())
            .bind(17, rnd.chance(92) ? QStringLiteral("1") : QStringLiteral("0"))
            .bind(18, isoDate(registered))
            .bind(19, QStringLiteral("有效"))
            .bind(20, rnd.pick(kOperators))
            .run();
    }

    // Tickets: a few customers buy thousands, most buy a handful.
    Statement ticket = db.prepare("INSERT INTO hyxc (kh,cprq,qfrq,daoda,kaishi,hbh,cw,piaohao,ZS,amount1,zk,amount2,jfbl,"
                         "hangkong,qfsj,neivai,bx,amount3,sxf,zt,dpy,spy,czy,lrrq,bz,jifen,jifenyue) VALUES "
                         "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (int t = 0; t < size.tickets; ++t) {
        // Rank by how much a customer flies, then spread the ranks over the
        // card numbers: the big travellers did not all register first.
        const double u = rnd.unit();
        const int rank = std::min(customers - 1, static_cast<int>(customers * u * u * u));
        const int owner = static_cast<int>((static_cast<qint64>(rank) * 7919 + 17) % customers);
        const QDate sold = kFirstDay.addDays(rnd.below(kDays));
        const bool abroad = rnd.chance(12);
        const QString from = rnd.chance(70) ? kCities[0] : rnd.pick(kCities);
        QString to = abroad ? rnd.pick(kAbroad) : rnd.pick(kCities);
        if (to == from)
            to = kCities[(rnd.below(static_cast<int>(kCities.size()) - 1) + 1)];
        const int airline = rnd.below(static_cast<int>(kAirlines.size()));
        const double count = rnd.chance(88) ? 1 : 2 + rnd.below(2);
        const double published = (abroad ? 3000 : 500) + 10.0 * rnd.below(abroad ? 600 : 300);
        const double discount = 0.5 + 0.05 * rnd.below(11);
        double sale = std::round(published * discount / 10.0) * 10.0;
        double net = sale - 10.0 * (2 + rnd.below(8));
        double rate = rnd.chance(80) ? 5 : 10;
        double fee = 10.0 * rnd.below(4);
        const int state = rnd.below(100);
        QString status = QStringLiteral("正常");
        if (state >= 97) {
            status = state == 99 ? QStringLiteral("作废") : QStringLiteral("退票");
            sale = net = rate = fee = 0;
        }
        const double points = rate * published / 100.0;
        ticket.bind(1, cardNumber(owner))
            .bind(2, isoDate(sold))
            .bind(3, isoDate(sold.addDays(rnd.below(30))))
            .bind(4, to)
            .bind(5, from)
            .bind(6, kAirlineCodes[airline] + QString::number(1000 + rnd.below(9000)))
            .bind(7, rnd.pick(kCabins))
            .bind(8, QStringLiteral("999-%1").arg(rnd.below(1000000000), 10, 10, QLatin1Char('0')))
            .bind(9, count)
            .bind(10, published)
            .bind(11, std::round(discount * 100)) // whole percent, as typed: not 85.00000000000001
            .bind(12, sale)
            .bind(13, rate)
            .bind(14, kAirlines[airline])
            .bind(15, QStringLiteral("%1:%2").arg(6 + rnd.below(17), 2, 10, QLatin1Char('0')).arg(5 * rnd.below(12), 2, 10, QLatin1Char('0')))
            .bind(16, abroad ? QStringLiteral("国际") : QStringLiteral("国内"))
            .bind(17, rnd.chance(60) ? 20 : 0)
            .bind(18, net)
            .bind(19, fee)
            .bind(20, status)
            .bind(21, rnd.pick(kClerks))
            .bind(22, rnd.pick(kCouriers))
            .bind(23, rnd.pick(kOperators))
            .bind(24, isoDate(sold))
            .bind(25, QString())
            .bind(26, points)
            .bind(27, points)
            .run();
    }

    // Clearings: redeem part of the points of some customers, walking their rows
    // as the clearing command does, and log each one.
    Statement lowerPoints = db.prepare("UPDATE hyxc SET jifenyue=? WHERE id=?");
    Statement logClearing = db.prepare("INSERT INTO jifenallow (kh,czy,jifen,bz,qcsj) VALUES (?,?,?,?,?)");
    Statement read = db.prepare("SELECT id, jifenyue FROM hyxc WHERE kh=? AND jifenyue>0 ORDER BY id");
    const int clearings = std::max(1, customers / 15);
    for (int c = 0; c < clearings; ++c) {
        const QString kh = cardNumber(rnd.below(std::min(customers, 60)));
        read.bind(1, kh);
        std::vector<std::pair<qint64, double>> rows;
        double total = 0;
        while (read.next()) {
            rows.emplace_back(read.integer(0), read.real(1));
            total += rows.back().second;
        }
        read.reset();
        if (total < 100)
            continue;
        double remaining = std::floor(total * (0.2 + 0.05 * rnd.below(8)) / 10.0) * 10.0;
        const double cleared = remaining;
        for (const auto &[id, left] : rows) {
            if (remaining <= 0)
                break;
            const double now = left > remaining ? left - remaining : 0;
            remaining = left > remaining ? 0 : remaining - left;
            lowerPoints.bind(1, now).bind(2, id).run();
        }
        logClearing.bind(1, kh)
            .bind(2, rnd.pick(kOperators))
            .bind(3, cleared)
            .bind(4, rnd.chance(50) ? QStringLiteral("兑换免费机票") : QString())
            .bind(5, isoDate(kFirstDay.addDays(kDays - 200 + rnd.below(190))) + QStringLiteral(" 10:30:00"))
            .run();
    }

    // Transfers: a few tickets change hands, with their copy in the transfer log.
    Statement copyRow = db.prepare("INSERT INTO hyxczhuanrang (kh,kaishi,daoda,amount1,amount2,amount3,hangkong,neivai,"
                          "jifen,jifenyue,zhuanrangkh,zrsj) SELECT kh,kaishi,daoda,amount1,amount2,amount3,hangkong,"
                          "neivai,jifen,jifenyue,?,? FROM hyxc WHERE id=?");
    Statement moveRow = db.prepare("UPDATE hyxc SET kh=? WHERE id=?");
    const int transfers = std::max(1, size.tickets / 300);
    for (int t = 0; t < transfers; ++t) {
        const qint64 id = 1 + rnd.below(std::max(1, size.tickets));
        const QString to = cardNumber(rnd.below(customers));
        const QString when = isoDate(kFirstDay.addDays(kDays - 100 + rnd.below(95))) + QStringLiteral(" 15:00:00");
        copyRow.bind(1, to).bind(2, when).bind(3, id).run();
        moveRow.bind(1, to).bind(2, id).run();
    }

    // Operator log: who worked in which window.
    Statement logEntry = db.prepare("INSERT INTO czyrz (czyname,czyxm,init_time,last_time) VALUES (?,?,?,?)");
    const int entries = std::max(10, customers / 5);
    for (int e = 0; e < entries; ++e) {
        const QDate day = kFirstDay.addDays(kDays - 60 + rnd.below(59));
        const int start = 8 * 3600 + rnd.below(9 * 3600);
        const int length = 60 + rnd.below(4 * 3600);
        const QString from = isoDate(day) + QLatin1Char(' ') + QTime(0, 0).addSecs(start).toString(QStringLiteral("HH:mm:ss"));
        const QString until = isoDate(day) + QLatin1Char(' ') + QTime(0, 0).addSecs(start + length).toString(QStringLiteral("HH:mm:ss"));
        logEntry.bind(1, rnd.pick(kOperators)).bind(2, rnd.pick(kWindows)).bind(3, from).bind(4, until).run();
    }
}
