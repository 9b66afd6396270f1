/* Stored report templates. The console replaces BILLBEFORE, INVOICE,
   IORDER and EORDER with the files of the same name plus ".fr3"; the other
   rows are never touched by it. DESCR holds the template file's bytes. The
   rows below are the old, leva versions (stored in WIN1251). */

CREATE TABLE REPORTS (
  ID    VARCHAR(31) NOT NULL PRIMARY KEY,
  NAME  VARCHAR(100),
  DESCR BLOB SUB_TYPE 0
);

INSERT INTO REPORTS (ID, NAME, DESCR) VALUES ('BILLBEFORE', 'Проформа фактура',
'<?xml version="1.0" encoding="windows-1251"?>
<Report Name="BILLBEFORE" Version="2019.2" Currency="BGN">
  <Page Name="Page1" PaperSize="A4">
    <Band Type="Title" Height="30">
      <Text Left="0" Top="0" Width="180" Font="Arial,14,Bold" Text="ПРОФОРМА ФАКТУРА № [INVOICES.INV_NO]"/>
    </Band>
    <Band Type="MasterData" DataSet="INVOICE_LINES" Height="6">
      <Text Left="0" Width="100" Text="[TARIFF.NAME]"/>
      <Text Left="100" Width="20" Text="[INVOICE_LINES.QTY]"/>
      <Text Left="120" Width="30" Format="%2.2n" Text="[INVOICE_LINES.PRICE] лв."/>
      <Text Left="150" Width="30" Format="%2.2n" Text="[INVOICE_LINES.AMOUNT] лв."/>
    </Band>
    <Band Type="Summary" Height="20">
      <Text Left="100" Width="80" Text="Общо: [INVOICES.TOTAL] BGN"/>
    </Band>
  </Page>
</Report>
');

INSERT INTO REPORTS (ID, NAME, DESCR) VALUES ('INVOICE', 'Фактура',
'<?xml version="1.0" encoding="windows-1251"?>
<Report Name="INVOICE" Version="2019.2" Currency="BGN">
  <Page Name="Page1" PaperSize="A4">
    <Band Type="Title" Height="30">
      <Text Left="0" Top="0" Width="180" Font="Arial,14,Bold" Text="ФАКТУРА № [INVOICES.INV_NO] / [INVOICES.INV_DATE]"/>
      <Text Left="0" Top="8" Width="180" Text="Доставчик: [FIRMA.NAME], [FIRMA.GRAD]"/>
      <Text Left="0" Top="14" Width="180" Text="Получател: [INVOICES.CLIENT_NAME]"/>
    </Band>
    <Band Type="MasterData" DataSet="INVOICE_LINES" Height="6">
      <Text Left="0" Width="100" Text="[TARIFF.NAME]"/>
      <Text Left="100" Width="20" Text="[INVOICE_LINES.QTY]"/>
      <Text Left="120" Width="30" Format="%2.2n" Text="[INVOICE_LINES.PRICE] лв."/>
      <Text Left="150" Width="30" Format="%2.2n" Text="[INVOICE_LINES.AMOUNT] лв."/>
    </Band>
    <Band Type="Summary" Height="24">
      <Text Left="100" Width="80" Text="Данъчна основа: [INVOICES.NET_TOTAL] лв."/>
      <Text Left="100" Top="6" Width="80" Text="ДДС 20%: [INVOICES.VAT] лв."/>
      <Text Left="100" Top="12" Width="80" Font="Arial,10,Bold" Text="Сума за плащане: [INVOICES.TOTAL] BGN"/>
    </Band>
  </Page>
</Report>
');

INSERT INTO REPORTS (ID, NAME, DESCR) VALUES ('IORDER', 'Приходен касов ордер',
'<?xml version="1.0" encoding="windows-1251"?>
<Report Name="IORDER" Version="2019.2" Currency="BGN">
  <Page Name="Page1" PaperSize="A5">
    <Band Type="Title" Height="20">
      <Text Width="140" Font="Arial,12,Bold" Text="ПРИХОДЕН КАСОВ ОРДЕР № [CASH_RECEIPTS.DOC_NO]"/>
    </Band>
    <Band Type="MasterData" DataSet="CASH_RECEIPTS" Height="20">
      <Text Width="140" Text="Приехме от: [CASH_RECEIPTS.PAYER]"/>
      <Text Top="6" Width="140" Text="Сумата от: [CASH_RECEIPTS.AMOUNT] лв."/>
    </Band>
  </Page>
</Report>
');

INSERT INTO REPORTS (ID, NAME, DESCR) VALUES ('EORDER', 'Разходен касов ордер',
'<?xml version="1.0" encoding="windows-1251"?>
<Report Name="EORDER" Version="2019.2" Currency="BGN">
  <Page Name="Page1" PaperSize="A5">
    <Band Type="Title" Height="20">
      <Text Width="140" Font="Arial,12,Bold" Text="РАЗХОДЕН КАСОВ ОРДЕР № [CASH_PAYMENTS.DOC_NO]"/>
    </Band>
    <Band Type="MasterData" DataSet="CASH_PAYMENTS" Height="20">
      <Text Width="140" Text="Да се изплати на: [CASH_PAYMENTS.PAYEE]"/>
      <Text Top="6" Width="140" Text="Основание: [CASH_PAYMENTS.PURPOSE]"/>
      <Text Top="12" Width="140" Text="Сумата от: [CASH_PAYMENTS.AMOUNT] лв."/>
    </Band>
  </Page>
</Report>
');

INSERT INTO REPORTS (ID, NAME, DESCR) VALUES ('REGISTER', 'Нотариален регистър',
'<?xml version="1.0" encoding="windows-1251"?>
<Report Name="REGISTER" Version="2019.2">
  <Page Name="Page1" PaperSize="A4" Orientation="Landscape">
    <Band Type="MasterData" DataSet="INVOICES" Height="6">
      <Text Width="30" Text="[INVOICES.INV_NO]"/>
      <Text Left="30" Width="30" Text="[INVOICES.INV_DATE]"/>
      <Text Left="60" Width="120" Text="[INVOICES.CLIENT_NAME]"/>
    </Band>
  </Page>
</Report>
');

INSERT INTO REPORTS (ID, NAME, DESCR) VALUES ('TARIFFLIST', 'Ценоразпис по тарифата',
'<?xml version="1.0" encoding="windows-1251"?>
<Report Name="TARIFFLIST" Version="2019.2" Currency="BGN">
  <Page Name="Page1" PaperSize="A4">
    <Band Type="MasterData" DataSet="TARIFF" Height="6">
      <Text Width="20" Text="[TARIFF.CODE]"/>
      <Text Left="20" Width="130" Text="[TARIFF.NAME]"/>
      <Text Left="150" Width="30" Text="[TARIFF.FEE] лв."/>
    </Band>
  </Page>
</Report>
');

COMMIT;
