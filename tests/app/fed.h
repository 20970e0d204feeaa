#pragma once

// A line series with its axes fed from a power model, for the chart feeder's suites.
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QSignalSpy>
#include <QValueAxis>
#include <QtTest>

#include "chartfeeder.h"
#include "powerdatamodel.h"

inline PowerData reading(qint64 msecs, double value, const char* unit = "дБм") {
    return PowerData(QDateTime::fromMSecsSinceEpoch(msecs), value, unit, 3000.0, "кГц");
}

// `columns` pixel columns wide (0: every point).
struct Fed {
    PowerDataModel model;
    QLineSeries series;
    QDateTimeAxis axisX;
    QValueAxis axisY;
    ChartFeeder feeder;
    explicit Fed(int columns = 0) {
        feeder.setSeries(&series);
        feeder.setAxisX(&axisX);
        feeder.setAxisY(&axisY);
        feeder.setXColumn(model.eTime());
        feeder.setYColumn(model.edBm());
        feeder.setPixelColumns(columns);
        feeder.setModel(&model);
    }
    // Waits for the refresh the last change scheduled.
    void settle() { QVERIFY(QSignalSpy(&feeder, &ChartFeeder::refreshed).wait()); }
};
