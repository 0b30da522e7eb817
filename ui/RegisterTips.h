#ifndef REGISTERTIPS_H
#define REGISTERTIPS_H

class QWidget;

// Gives every register control of a page (check boxes cb_<field>, combo
// boxes comboBox_<field>, sliders horizontalSlider_<field>, and the on-time
// controls of page 2) a tooltip from the register map: register, bits,
// field name and the meaning of its items. A combo box item the map gives no
// text (a reserved code) reads "(reserved)".
void addRegisterTips(QWidget* page);

#endif // REGISTERTIPS_H
