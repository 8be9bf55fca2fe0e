#include "ui/profiles/TProfileForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.trimmed().toStdString(); }

QLineEdit* NumberEdit(const char* name)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// Selects the item whose data is key (case-insensitive); unknown keys are added as they are.
void SelectKey(QComboBox* box, const std::string& key)
{
    const int i = box->findData(Q(key), Qt::UserRole, Qt::MatchFixedString);
    if (i >= 0) {
        box->setCurrentIndex(i);
        return;
    }
    box->addItem(Q(key), Q(key));
    box->setCurrentIndex(box->count() - 1);
}
}

TProfileForm::TProfileForm(const std::string& path, const std::string& section, double stationTolerance,
                           QWidget* parent)
    : QDialog(parent), m_sPath(path), m_sSection(section), m_dStationTolerance(stationTolerance)
{
    setObjectName(QStringLiteral("ProfileForm"));
    setWindowTitle(section == kDefaultProfileSection ? QStringLiteral("Профиль поверки по умолчанию")
                                                     : QStringLiteral("Профиль поверки счетчика ") + Q(section));
    StandardBox = new QComboBox;
    StandardBox->setObjectName(QStringLiteral("StandardBox"));
    StandardBox->addItem(QStringLiteral("Допуск станции"), QStringLiteral("tolerance"));
    StandardBox->addItem(QStringLiteral("EN 1434 (датчик расхода теплосчетчика)"), QStringLiteral("EN1434"));
    StandardBox->addItem(QStringLiteral("OIML R 49 (счетчик воды)"), QStringLiteral("R49"));
    ClassEdit = NumberEdit("ClassEdit");
    QpEdit = NumberEdit("QpEdit");
    QiEdit = NumberEdit("QiEdit");
    QsEdit = NumberEdit("QsEdit");
    Q1Edit = NumberEdit("Q1Edit");
    Q3Edit = NumberEdit("Q3Edit");
    ToleranceEdit = NumberEdit("ToleranceEdit");
    ToleranceEdit->setPlaceholderText(QString::number(stationTolerance));
    RuleBox = new QComboBox;
    RuleBox->setObjectName(QStringLiteral("RuleBox"));
    RuleBox->addItem(QStringLiteral("Простая приемка (|e| ≤ предел)"), QStringLiteral("simple"));
    RuleBox->addItem(QStringLiteral("С защитной полосой (|e| + U ≤ предел)"), QStringLiteral("guarded"));
    TemperatureEdit = NumberEdit("TemperatureEdit");
    TemperatureEdit->setPlaceholderText(QStringLiteral("не указана"));
    ErrorLabel = new QLabel;
    ErrorLabel->setObjectName(QStringLiteral("ErrorLabel"));
    ErrorLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    ErrorLabel->setWordWrap(true);
    ErrorLabel->setVisible(false);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    Buttons->setObjectName(QStringLiteral("Buttons"));
    Buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Сохранить"));
    Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Стандарт"), StandardBox);
    form->addRow(QStringLiteral("Класс"), ClassEdit);
    form->addRow(QStringLiteral("qp, м3/ч"), QpEdit);
    form->addRow(QStringLiteral("qi, м3/ч"), QiEdit);
    form->addRow(QStringLiteral("qs, м3/ч"), QsEdit);
    form->addRow(QStringLiteral("Q1, м3/ч"), Q1Edit);
    form->addRow(QStringLiteral("Q3, м3/ч"), Q3Edit);
    form->addRow(QStringLiteral("Допуск, ± %"), ToleranceEdit);
    form->addRow(QStringLiteral("Правило"), RuleBox);
    form->addRow(QStringLiteral("Температура воды, °C"), TemperatureEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ErrorLabel);
    layout->addWidget(Buttons);

    ProfileFormFields f;
    if (std::string e = LoadProfileForm(m_sPath, m_sSection, f); !e.empty()) {
        ShowError(e);
        Buttons->button(QDialogButtonBox::Save)->setEnabled(false);   // never overwrite a file not read
    }
    SelectKey(StandardBox, f.standard.empty() ? "tolerance" : f.standard);
    SelectKey(RuleBox, f.rule.empty() ? "simple" : f.rule);
    for (const char* key : kProfileFormKeys)
        if (QLineEdit* edit = EditOf(key))
            edit->setText(Q(key == std::string("class")         ? f.accuracyClass
                            : key == std::string("qp")          ? f.qp
                            : key == std::string("qi")          ? f.qi
                            : key == std::string("qs")          ? f.qs
                            : key == std::string("q1")          ? f.q1
                            : key == std::string("q3")          ? f.q3
                            : key == std::string("tolerance")   ? f.tolerance
                                                                : f.temperature));
    StandardBoxChange();
    connect(StandardBox, &QComboBox::currentIndexChanged, this, &TProfileForm::StandardBoxChange);
    connect(Buttons, &QDialogButtonBox::accepted, this, &TProfileForm::SaveClick);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QLineEdit* TProfileForm::EditOf(const std::string& key) const
{
    if (key == "class") return ClassEdit;
    if (key == "qp") return QpEdit;
    if (key == "qi") return QiEdit;
    if (key == "qs") return QsEdit;
    if (key == "q1") return Q1Edit;
    if (key == "q3") return Q3Edit;
    if (key == "tolerance") return ToleranceEdit;
    if (key == "temperature") return TemperatureEdit;
    return nullptr;
}

ProfileFormFields TProfileForm::Fields() const
{
    ProfileFormFields f;
    f.standard = S(StandardBox->currentData().toString());
    f.rule = S(RuleBox->currentData().toString());
    f.accuracyClass = S(ClassEdit->text());
    f.qp = S(QpEdit->text());
    f.qi = S(QiEdit->text());
    f.qs = S(QsEdit->text());
    f.q1 = S(Q1Edit->text());
    f.q3 = S(Q3Edit->text());
    f.tolerance = S(ToleranceEdit->text());
    f.temperature = S(TemperatureEdit->text());
    return f;
}

void TProfileForm::StandardBoxChange()
{
    const std::string standard = S(StandardBox->currentData().toString());
    for (const char* key : kProfileFormKeys)
        if (QLineEdit* edit = EditOf(key))
            edit->setEnabled(ProfileFormKeyUsed(standard, key));
}

void TProfileForm::ShowError(const std::string& text)
{
    m_sError = text;
    ErrorLabel->setText(Q(text));
    ErrorLabel->setVisible(!text.empty());
}

bool TProfileForm::SaveClick()
{
    const std::string error = SaveProfileForm(m_sPath, m_sSection, Fields(), m_dStationTolerance);
    ShowError(error);
    if (!error.empty())
        return false;
    accept();
    return true;
}
