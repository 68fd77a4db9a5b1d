#include "reports/reportexport.h"

#include "appearance/reportheading.h"
#include "core/safefile.h"
#include "reports/rtfwriter.h"


#include <cstring>

namespace quarl::reports {

namespace {

QString lines(QStringList parts)
{
    parts.removeAll(QString());
    return parts.join(QLatin1Char('\n'));
}

QList<int> scaled(const QList<double> &fractions, int width)
{
    QList<int> w;
    for (double f : fractions)
        w << int(f * width);
    return w;
}

void totals(RtfWriter &rtf, const ReportData &d, int width)
{
    const ReportTotals t = d.totals();
    RtfWriter::Para head;
    head.bold = true;
    head.shaded = true;
    head.spaceBefore = 240;
    head.keepWithNext = true;
    rtf.paragraph(QStringLiteral("Totals for ") + d.vessel + QStringLiteral(" Voy ") + d.voyage, head);
    const QList<int> w = {width / 4, width - width / 4};
    rtf.row({QStringLiteral("Bills of lading"), QString::number(t.lines)}, w, false, false, 18, {false, true});
    if (t.houses > 0)
        rtf.row({QStringLiteral("House B/Ls"), QStringLiteral("%1 (counted in their master lines)").arg(t.houses)}, w, false, false, 18,
                {false, true});
    rtf.row({QStringLiteral("Packages"), QString::number(t.packages)}, w, false, false, 18, {false, true});
    for (const WeightTotal &g : t.grossWeight)
        rtf.row({QStringLiteral("Gross weight"), withUnit(number(g.weight, 3), g.unit)}, w, false, false, 18,
                {false, true});
    QStringList byStatus;
    for (const StatusCount &s : t.containersByStatus)
        byStatus << QStringLiteral("%1 %2").arg(s.status.isEmpty() ? QStringLiteral("(no status)") : s.status).arg(s.count);
    rtf.row({QStringLiteral("Containers"),
             QString::number(t.containers)
                 + (byStatus.isEmpty() ? QString() : QStringLiteral("  (") + byStatus.join(QStringLiteral(", ")) + QLatin1Char(')'))},
            w, false, false, 18, {false, true});
}

void emptyNote(RtfWriter &rtf, const ReportData &d)
{
    if (!d.lines.empty())
        return;
    RtfWriter::Para p;
    p.bold = true;
    p.spaceBefore = 240;
    if (d.voyageLines == 0)
        rtf.paragraph(QStringLiteral("No bill of lading is stored for vessel %1 voyage %2.").arg(d.vessel, d.voyage), p);
    else if (!d.hasVessel)
        rtf.paragraph(QStringLiteral("Vessel code %1 is not in the vessel master: the %2 bills of lading of this "
                                     "voyage are left out until it is added.")
                          .arg(d.vessel)
                          .arg(d.voyageLines),
                      p);
}

void checkList(RtfWriter &rtf, const ReportData &d)
{
    const int width = rtf.textWidth();
    RtfWriter::Para master;
    master.bold = true;
    master.shaded = true;
    master.spaceAfter = 120;
    const VesselMaster &v = d.vesselMaster;
    rtf.paragraph(d.hasVessel ? QStringLiteral("Vessel: %1 %2     Voyage: %3     Nationality: %4     G.R.T.: %5     N.R.T.: %6")
                                    .arg(v.code, v.name, d.voyage, v.nation, number(v.grt, 2), number(v.nrt, 2))
                              : QStringLiteral("Vessel: %1     Voyage: %2     (not in the vessel master)").arg(d.vessel, d.voyage),
                  master);
    const QList<int> facts = scaled({1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6}, width);
    const QList<int> cont = scaled({0.05, 0.17, 0.17, 0.13, 0.08, 0.09, 0.13, 0.09, 0.09}, width);
    for (const ReportLine &l : d.lines) {
        RtfWriter::Para head;
        head.bold = true;
        head.shaded = true;
        head.keepWithNext = true;
        head.spaceBefore = 200;
        QString first;
        if (l.isHouse()) {
            first = houseHead(l);
        } else {
            first = QStringLiteral("Line %1     B/L No. %2     Date %3").arg(l.lineNo).arg(l.blNo, dateText(l.blDt));
            if (!l.hblNo.isEmpty())
                first += QStringLiteral("     House B/L %1 %2").arg(l.hblNo, dateText(l.hblDt));
            if (l.houses > 0)
                first += QStringLiteral("     ") + consolidatedNote(l);
        }
        rtf.paragraph(first, head);
        RtfWriter::Para ports;
        ports.keepWithNext = true;
        QString p = QStringLiteral("Port of loading %1     Port of destination %2").arg(l.portLoad, l.portDest);
        if (!l.destCode.isEmpty())
            p += QStringLiteral("     Final destination ") + l.destCode;
        rtf.paragraph(p, ports);
        rtf.row({QStringLiteral("Importer\n") + lines({l.impName, l.impAdd[0], l.impAdd[1], l.impAdd[2]}),
                 QStringLiteral("Notify party\n") + lines({l.notName, l.notAdd[0], l.notAdd[1], l.notAdd[2]})},
                {width / 2, width - width / 2});
        rtf.row({QStringLiteral("Nature of cargo\n") + l.natureCargo, QStringLiteral("Item type\n") + l.itemType,
                 QStringLiteral("Cargo movement\n") + l.cargoMove,
                 QStringLiteral("Packages\n") + withUnit(QString::number(l.pkgs), l.pkgType),
                 QStringLiteral("Gross weight\n") + withUnit(number(l.grossWt, 3), l.unitWt),
                 QStringLiteral("Volume\n") + (l.volume == 0 ? QString() : withUnit(number(l.volume, 3), l.unitVol))},
                facts);
        rtf.row({QStringLiteral("UNO code\n") + l.unoCode, QStringLiteral("IMO code\n") + l.imoCode,
                 QStringLiteral("Transshipment reg. no.\n") + l.tpRegNo,
                 QStringLiteral("Carrier agent code\n") + l.cacCode, QStringLiteral("Transport mode\n") + l.trMode,
                 QStringLiteral("MLO code\n") + l.mlo},
                facts);
        if (!l.shipper.isEmpty())
            rtf.row({QStringLiteral("Shipper"), l.shipper}, {width / 6, width - width / 6});
        rtf.row({QStringLiteral("Marks & Nos."), l.marks}, {width / 6, width - width / 6});
        rtf.row({QStringLiteral("Description"), l.gDesc}, {width / 6, width - width / 6});
        if (!l.hsCodes.isEmpty())
            rtf.row({QStringLiteral("HS codes"), l.hsCodes.join(QStringLiteral("; "))}, {width / 6, width - width / 6});
        if (l.containers.empty()) {
            rtf.row({QStringLiteral("Containers"), QStringLiteral("None (cargo not in containers)")},
                    {width / 6, width - width / 6});
            continue;
        }
        rtf.row({QStringLiteral("#"), QStringLiteral("Container No."), QStringLiteral("Seal No."), QStringLiteral("Agent"),
                 QStringLiteral("Status"), QStringLiteral("Packages"), QStringLiteral("Weight (t)"), QStringLiteral("ISO code"),
                 QStringLiteral("SOC")},
                cont, false, true, 16, QList<bool>(9, true));
        int n = 0;
        for (const ReportContainer &k : l.containers)
            rtf.row({QString::number(++n), k.containNo, k.sealNo, k.agentCode, k.conStatus, QString::number(k.conPkgs),
                     tonnes(k.conWt), k.isoCode, k.socFlag},
                    cont);
    }
    emptyNote(rtf, d);
    totals(rtf, d, width);
}

void declaration(RtfWriter &rtf, const ReportData &d)
{
    const int width = rtf.textWidth();
    const VoyageHeader &h = d.header;
    const QList<int> six = scaled({1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6}, width);
    auto cell = [](const char *label, const QString &value) { return QLatin1String(label) + QLatin1Char('\n') + value; };
    auto yn = [](const QString &s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    if (d.hasHeader) {
        rtf.row({cell("Name of vessel", h.vslName), cell("Vessel code", h.vslCode), cell("Voyage no.", h.voyNo),
                 cell("Nationality", h.vslNation), cell("Name of master", h.masterName), cell("Vessel type", h.vslType)},
                six);
        rtf.row({cell("Shipping line", h.sLineCode), cell("Shipping agent", h.sAgentCode),
                 cell("Port of arrival", h.portArrival), cell("Last port of call", h.lastPort),
                 cell("Ports before", lines({h.lastPort1, h.lastPort2}).replace(QLatin1Char('\n'), QStringLiteral(", "))),
                 cell("Terminal operator", h.terminalOp)},
                six);
        rtf.row({cell("Gross tonnage", number(h.grt, 2)), cell("Net tonnage", number(h.nrt, 2)),
                 cell("Date of arrival", dateText(h.arrDt)), cell("Time of arrival", h.arrTime),
                 cell("IGM no. and date", (h.igmNo + QLatin1Char(' ') + dateText(h.igmDt)).trimmed()),
                 cell("Custom house", d.cHouseCode)},
                six);
        rtf.row({cell("Total items", QString::number(d.masterLines())), cell("Cargo description", h.cargoDesc),
                 cell("Light dues", number(h.lhDues, 2)), cell("Same bottom cargo", yn(h.sameBottom)),
                 cell("Declarations: stores / crew / passengers",
                      yn(h.shipStoreDecl) + QStringLiteral(" / ") + yn(h.crewDecl) + QStringLiteral(" / ") + yn(h.pessList)),
                 cell("Crew effects / maritime", yn(h.crewEffDecl) + QStringLiteral(" / ") + yn(h.mariDecl))},
                six);
    } else {
        const VesselMaster &v = d.vesselMaster;
        rtf.row({cell("Name of vessel", v.name), cell("Vessel code", d.vessel), cell("Voyage no.", d.voyage),
                 cell("Nationality", v.nation), cell("Gross tonnage", number(v.grt, 2)), cell("Net tonnage", number(v.nrt, 2))},
                six);
        rtf.row({cell("Custom house", d.cHouseCode),
                 cell("Voyage header", QStringLiteral("None is stored for this voyage: master, ports and arrival are not known."))},
                {six[0], width - six[0]});
    }
    RtfWriter::Para gap;
    gap.halfPoints = 8;
    rtf.paragraph(QString(), gap);
    const QList<int> cols = scaled({0.04, 0.11, 0.08, 0.15, 0.12, 0.10, 0.15, 0.09, 0.16}, width);
    rtf.row({QStringLiteral("Line no."), QStringLiteral("B/L no. and date"), QStringLiteral("Port of loading and destination"),
             QStringLiteral("Consignee and address"), QStringLiteral("Marks and numbers"),
             QStringLiteral("No. and kind of packages"), QStringLiteral("Description of goods"),
             QStringLiteral("Gross weight and volume"), QStringLiteral("Containers (no., status, seal)")},
            cols, true, true, 14);
    for (const ReportLine &l : d.lines) {
        QStringList goods = {l.gDesc};
        if (!l.unoCode.isEmpty() && l.unoCode != QLatin1String("ZZZZZ"))
            goods << QStringLiteral("UN ") + l.unoCode;
        if (!l.imoCode.isEmpty() && l.imoCode != QLatin1String("ZZZ"))
            goods << QStringLiteral("IMO ") + l.imoCode;
        QStringList containers;
        for (const ReportContainer &k : l.containers)
            containers << QStringList{k.containNo, k.conStatus, k.sealNo}.join(QStringLiteral("  ")).trimmed();
        const QString bl = l.isHouse()
                               ? lines({QStringLiteral("House B/L ") + houseBlNo(l), dateText(houseBlDate(l)),
                                        l.masterBlNo.isEmpty() ? QString() : QStringLiteral("of B/L ") + l.masterBlNo})
                               : lines({l.blNo, dateText(l.blDt), l.hblNo.isEmpty() ? QString() : QStringLiteral("H: ") + l.hblNo,
                                        dateText(l.hblDt), consolidatedNote(l)});
        rtf.row({lineLabel(l), bl,
                 lines({l.portLoad, l.portDest, l.destCode == l.portDest ? QString() : l.destCode}),
                 lines({l.impName, l.impAdd[0], l.impAdd[1], l.impAdd[2]}), l.marks,
                 lines({withUnit(QString::number(l.pkgs), l.pkgType), l.pkgDesc}), lines(goods),
                 lines({withUnit(number(l.grossWt, 3), l.unitWt),
                        l.volume == 0 ? QString() : withUnit(number(l.volume, 3), l.unitVol)}),
                 containers.join(QLatin1Char('\n'))},
                cols, false, false, 16, {true, true});
    }
    emptyNote(rtf, d);
    totals(rtf, d, width);
    RtfWriter::Para sign;
    sign.spaceBefore = 480;
    rtf.paragraph(QStringLiteral("We declare that the particulars above are true and complete."), sign);
    sign.spaceBefore = 600;
    rtf.paragraph(QStringLiteral("Place and date ____________________          Signature of master or agent ______________________________"),
                  sign);
}

} // namespace

ExportFormat mailExportFormat(const QString &eformat)
{
    const QString v = eformat.trimmed();
    return v.isEmpty() || v == QLatin1String("0") ? ExportFormat::Rtf : ExportFormat::Pdf;
}

QString mailExportFileName(ExportFormat format)
{
    return format == ExportFormat::Rtf ? QStringLiteral("Ledger.rtf") : QStringLiteral("Ledger.pdf");
}

Status writeRtf(const ReportData &data, const ReportTexts &texts, const QPageLayout &page, const QString &path)
{
    SafeFileDevice file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.failure();
    const QRectF full = page.fullRectPoints();
    RtfWriter rtf(file, int(full.width() * 20), int(full.height() * 20), page.orientation() == QPageLayout::Landscape);
    int headSize = 28;
    if (!texts.headingFamily.isEmpty() && texts.headingPointSize > 0)
        headSize = int(texts.headingPointSize * 2);
    rtf.pageHead({texts.heading, texts.title}, headSize,
                 texts.headingPointSize > 0 ? texts.headingFamily : QString());
    rtf.pageFoot(QStringLiteral("Printed ") + texts.printedAt.toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                 data.vessel + QStringLiteral(" Voy ") + data.voyage);
    if (data.kind == ReportKind::CheckList)
        checkList(rtf, data);
    else
        declaration(rtf, data);
    // After a failed write (a full disk) the temporary file goes and nothing takes the real name.
    if (!rtf.finish()) {
        file.cancelWriting();
        return Failure(ErrorNumber::PathFileAccess,
                       path + QStringLiteral(": ")
                           + (rtf.writeErrno() ? QString::fromLocal8Bit(std::strerror(rtf.writeErrno())) : file.errorString()));
    }
    if (!file.commit())
        return file.failure();
    return Status::ok();
}

Status writeReport(const ReportDocument &document, ExportFormat format, const QString &path, const PageProgress &progress)
{
    if (format == ExportFormat::Pdf)
        return writePdf(document, path, progress);
    return writeRtf(document.data(), document.texts(), document.pageLayout(), path);
}

ReportTexts reportTexts(ReportKind kind, const QString &vessel, const QString &voyage, const QString &company)
{
    ReportTexts t;
    t.heading = company;
    if (const auto font = reportHeadingFont()) {
        t.headingFamily = font->family;
        t.headingPointSize = font->pointSize;
    }
    t.title = reportTitle(kind, vessel, voyage);
    return t;
}

} // namespace quarl::reports
