// Loading a large price-band packet into a client table, against a bare JSON
// parse of the same text; and building and merging a large delta.
#include "client_table.h"
#include "packet.h"

#include <QJsonDocument>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

QVector<FieldDef> bandFields() {
    return {{"CDPRECOPROP", FieldType::String, 10},
            {"QTINISISTEMAS", FieldType::String, 5},
            {"QTFINSISTEMAS", FieldType::String, 5},
            {"VRPERCDESCSIST", FieldType::Float, 0}};
}

const QByteArray &bandPacketText() {
    static const QByteArray text = [] {
        DataPacket p;
        p.fields = bandFields();
        p.rows.reserve(100000);
        for (int i = 0; i < 100000; ++i) {
            const int table = i / 20 + 1, q = i % 20 + 1;
            p.rows.append({QString::number(table).rightJustified(10, '0'), QString::number(q).rightJustified(5, '0'),
                           QString::number(q).rightJustified(5, '0'), (q % 7) * 1.25});
        }
        return PacketCodec::encode(p);
    }();
    return text;
}

// The two measurements below leave out the teardown of what they built (the
// document, the loaded table); the *WithTeardown variants include it.

void BM_JsonParseOnly(benchmark::State &state) {
    const QByteArray &text = bandPacketText();
    for (auto _ : state) {
        auto doc = std::make_unique<QJsonDocument>(QJsonDocument::fromJson(text));
        benchmark::DoNotOptimize(doc);
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_JsonParseOnly)->Unit(benchmark::kMillisecond);

void BM_DecodeAndLoadPacket(benchmark::State &state) {
    const QByteArray &text = bandPacketText();
    for (auto _ : state) {
        state.PauseTiming();
        auto t = std::make_unique<TClientTable>("cdsDescSist");
        for (const FieldDef &f : bandFields()) t->AddField(f.name, f.type, f.size);
        state.ResumeTiming();
        t->LoadPacket(PacketCodec::decodePacket(text));
        benchmark::DoNotOptimize(t->RecordCount());
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DecodeAndLoadPacket)->Unit(benchmark::kMillisecond);

void BM_JsonParseOnlyWithTeardown(benchmark::State &state) {
    const QByteArray &text = bandPacketText();
    for (auto _ : state) {
        QJsonDocument doc = QJsonDocument::fromJson(text);
        benchmark::DoNotOptimize(doc);
    }
}
BENCHMARK(BM_JsonParseOnlyWithTeardown)->Unit(benchmark::kMillisecond);

void BM_DecodeAndLoadPacketWithTeardown(benchmark::State &state) {
    const QByteArray &text = bandPacketText();
    for (auto _ : state) {
        TClientTable t("cdsDescSist");
        for (const FieldDef &f : bandFields()) t.AddField(f.name, f.type, f.size);
        t.LoadPacket(PacketCodec::decodePacket(text));
        benchmark::DoNotOptimize(t.RecordCount());
    }
}
BENCHMARK(BM_DecodeAndLoadPacketWithTeardown)->Unit(benchmark::kMillisecond);

void BM_DeltaOf10000ChangesAndMerge(benchmark::State &state) {
    const DataPacket base = PacketCodec::decodePacket(bandPacketText());
    for (auto _ : state) {
        state.PauseTiming();
        TClientTable t("cdsDescSist");
        for (const FieldDef &f : bandFields()) t.AddField(f.name, f.type, f.size);
        t.LoadPacket(base);
        state.ResumeTiming();
        // 5,000 updates, 2,500 deletes, 2,500 inserts.
        TField *pct = t.FieldByName("VRPERCDESCSIST");
        for (int i = 0; i < 5000; ++i) {
            t.Edit();
            pct->SetAsFloat(50.0 + i % 10);
            t.Post();
            t.Next();
        }
        for (int i = 0; i < 2500; ++i) t.Delete();
        for (int i = 0; i < 2500; ++i) {
            t.Append();
            t.FieldByName("CDPRECOPROP")->SetAsString("9999999999");
            t.FieldByName("QTINISISTEMAS")->SetAsString(QString::number(i % 20 + 1).rightJustified(5, '0'));
            pct->SetAsFloat(1.0);
            t.Post();
        }
        const Delta d = t.GetDelta();
        const QJsonObject json = PacketCodec::toJson(d);
        benchmark::DoNotOptimize(json);
        t.MergeChangeLog();
        if (d.changes.size() != 10000) state.SkipWithError("unexpected delta size");
    }
}
BENCHMARK(BM_DeltaOf10000ChangesAndMerge)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
